#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "core/settings.h"
#include "shell/page_options.h"

namespace {

auto Fields(const PageOptions& o, const Settings& s) {
    return std::make_tuple(o.fps, o.stillSeconds, o.benchSeconds, o.lapse, s.ninja, s.sombras,
                           s.invtex, s.autocam, s.musica, s.interpol, s.tipoIlum, s.nCamara,
                           s.nSuelo);
}

struct Case {
    const char* query;
    bool accepted;
    const char* messageStart; // for a refusal
    std::function<void(PageOptions&, Settings&)> expect;
};

TEST(PageQuery, SettingsAndHooksOverWhatThePageStartsFrom) {
    // The page starts from stored values that differ from the defaults, so
    // that a query part that is refused visibly leaves them alone.
    Settings stored;
    SetDefaultSettings(stored);
    stored.ninja = true;
    stored.sombras = false;
    stored.nSuelo = 8;
    stored.tipoIlum = 0;
    const Case cases[] = {
        {"", true, "", [](PageOptions&, Settings&) {}},
        {"?", true, "", [](PageOptions&, Settings&) {}},
        {"?ninja=0&sombras&invtex=1&autocam=0&musica=0&interpol=0&fps", true, "",
         [](PageOptions& o, Settings& s) {
             s.ninja = false;
             s.sombras = true;
             s.invtex = true;
             s.autocam = false;
             s.musica = false;
             s.interpol = false;
             o.fps = true;
         }},
        {"tipo-ilum=1&suelo=2", true, "",
         [](PageOptions&, Settings& s) {
             s.tipoIlum = 1;
             s.nSuelo = 2;
         }},
        {"?still=2.5&bench=10&lapse&capture=6&utm_source=x&&=3", true, "",
         [](PageOptions& o, Settings&) {
             o.stillSeconds = 2.5;
             o.benchSeconds = 10.0;
             o.lapse = true;
         }},
        // The last of repeated parts wins.
        {"?suelo=2&suelo=8&sombras=1&sombras=0", true, "", [](PageOptions&, Settings&) {}},
        // Refusals change nothing of their own and leave the rest applied.
        {"?sombras=yes&invtex", false, "?sombras wants 1 or 0",
         [](PageOptions&, Settings& s) { s.invtex = true; }},
        {"?tipo-ilum=3", false, "?tipo-ilum wants 0 (none)", [](PageOptions&, Settings&) {}},
        {"?tipo-ilum=-1&tipo-ilum=", false, "?tipo-ilum wants", [](PageOptions&, Settings&) {}},
        {"?suelo=5", false, "?suelo wants 2 (Seco) or 8 (Lava), not '5'",
         [](PageOptions&, Settings&) {}},
        {"?suelo=0008", false, "?suelo wants", [](PageOptions&, Settings&) {}},
        {"?still=-1", false, "?still wants seconds", [](PageOptions&, Settings&) {}},
        {"?still=nan&bench=1e9", false, "?still wants", [](PageOptions&, Settings&) {}},
        {"?bench=3601", false, "?bench wants seconds from 0 to 3600",
         [](PageOptions&, Settings&) {}},
        {"?ninja=%31", false, "?ninja wants 1 or 0 (or nothing), not '%31'",
         [](PageOptions&, Settings&) {}},
    };
    for (const Case& c : cases) {
        PageOptions options, expectedOptions;
        Settings settings = stored, expectedSettings = stored;
        c.expect(expectedOptions, expectedSettings);
        char message[128] = "stale";
        EXPECT_EQ(ParsePageQuery(c.query, options, settings, message, sizeof message), c.accepted)
            << c.query;
        EXPECT_EQ(Fields(options, settings), Fields(expectedOptions, expectedSettings)) << c.query;
        EXPECT_EQ(std::string(message).rfind(c.messageStart, 0), 0u) << c.query << ": " << message;
        if (c.accepted) {
            EXPECT_STREQ(message, "") << c.query;
        }
    }
}

TEST(PageQuery, ALongBadValueIsCutInTheMessageAndNothingOverruns) {
    const std::string query = "?suelo=" + std::string(5000, '9') + "&ninja";
    PageOptions options;
    Settings settings;
    SetDefaultSettings(settings);
    char message[48];
    EXPECT_FALSE(ParsePageQuery(query.c_str(), options, settings, message, sizeof message));
    EXPECT_EQ(std::string(message).size(), sizeof message - 1);
    EXPECT_EQ(settings.nSuelo, 2);
    EXPECT_TRUE(settings.ninja);
    EXPECT_TRUE(ParsePageQuery(nullptr, options, settings, message, sizeof message));
}

} // namespace
