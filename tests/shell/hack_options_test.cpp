#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "core/settings.h"
#include "shell/hack_options.h"

namespace {

struct Parsed {
    HackCommand command;
    HackOptions options;
    Settings settings;
    std::string message;
};

Parsed Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "tazroscr");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    Parsed parsed;
    SetDefaultSettings(parsed.settings);
    char message[256];
    parsed.command = ParseHackOptions(static_cast<int>(args.size()), argv.data(), parsed.options,
                                      parsed.settings, message, sizeof message);
    parsed.message = message;
    return parsed;
}

// The same arguments with every "--" option written with one dash.
std::vector<std::string> OneDash(std::vector<std::string> args) {
    for (std::string& arg : args)
        if (arg.rfind("--", 0) == 0)
            arg.erase(0, 1);
    return args;
}

// Every field the command line can set, in one comparable value.
auto Fields(const HackOptions& o, const Settings& s) {
    return std::make_tuple(o.root, o.windowId, o.fps, o.delayMicroseconds, o.musicaAsked,
                           std::string(o.musicPath != nullptr ? o.musicPath : "(none)"), s.ninja,
                           s.sombras, s.invtex, s.autocam, s.musica, s.interpol, s.tipoIlum,
                           s.nCamara, s.nSuelo);
}

void ExpectSame(const Parsed& got, const HackOptions& options, const Settings& settings,
                const std::string& what) {
    EXPECT_EQ(got.command, HackCommand::Run) << what << ": " << got.message;
    EXPECT_EQ(Fields(got.options, got.settings), Fields(options, settings)) << what;
}

TEST(HackOptions, EveryOptionWithOneDashOrTwoOverTheWindowsDefaults) {
    struct Case {
        std::vector<std::string> args;
        std::function<void(HackOptions&, Settings&)> expect;
    };
    const std::vector<Case> cases = {
        {{}, [](HackOptions&, Settings&) {}},
        {{"--root"}, [](HackOptions& o, Settings&) { o.root = true; }},
        {{"--window"}, [](HackOptions&, Settings&) {}},
        {{"--root", "--window"}, [](HackOptions&, Settings&) {}},
        {{"--window-id", "9", "--window"}, [](HackOptions&, Settings&) {}},
        // A --window-id run is a preview: silent unless --musica says otherwise.
        {{"--window-id", "0x1a00003"},
         [](HackOptions& o, Settings& s) {
             o.windowId = 0x1a00003;
             s.musica = false;
         }},
        {{"--window-id", "4660"},
         [](HackOptions& o, Settings& s) {
             o.windowId = 4660;
             s.musica = false;
         }},
        {{"--window", "--root", "--window-id=0X2B"},
         [](HackOptions& o, Settings& s) {
             o.root = true;
             o.windowId = 0x2b;
             s.musica = false;
         }},
        {{"--window-id", "7", "--musica"},
         [](HackOptions& o, Settings&) {
             o.windowId = 7;
             o.musicaAsked = true;
         }},
        {{"--musica", "--window-id", "7"},
         [](HackOptions& o, Settings&) {
             o.windowId = 7;
             o.musicaAsked = true;
         }},
        {{"--window-id", "7", "--musica", "--no-musica"},
         [](HackOptions& o, Settings& s) {
             o.windowId = 7;
             s.musica = false;
         }},
        {{"--fps"}, [](HackOptions& o, Settings&) { o.fps = true; }},
        {{"--delay", "0"}, [](HackOptions& o, Settings&) { o.delayMicroseconds = 0; }},
        {{"--delay", "2147483647"},
         [](HackOptions& o, Settings&) { o.delayMicroseconds = 2147483647; }},
        {{"--ninja"}, [](HackOptions&, Settings& s) { s.ninja = true; }},
        {{"--no-sombras"}, [](HackOptions&, Settings& s) { s.sombras = false; }},
        {{"--no-sombras", "--sombras"}, [](HackOptions&, Settings&) {}},
        {{"--invtex"}, [](HackOptions&, Settings& s) { s.invtex = true; }},
        {{"--no-autocam"}, [](HackOptions&, Settings& s) { s.autocam = false; }},
        {{"--no-autocam", "--autocam"}, [](HackOptions&, Settings&) {}},
        {{"--no-musica"}, [](HackOptions&, Settings& s) { s.musica = false; }},
        {{"--no-musica", "--musica"}, [](HackOptions& o, Settings&) { o.musicaAsked = true; }},
        {{"--no-interpol"}, [](HackOptions&, Settings& s) { s.interpol = false; }},
        {{"--no-interpol", "--interpol"}, [](HackOptions&, Settings&) {}},
        {{"--tipo-ilum", "0"}, [](HackOptions&, Settings& s) { s.tipoIlum = 0; }},
        {{"--tipo-ilum", "1"}, [](HackOptions&, Settings& s) { s.tipoIlum = 1; }},
        {{"--suelo", "8"}, [](HackOptions&, Settings& s) { s.nSuelo = 8; }},
        {{"--suelo", "8", "--suelo", "2"}, [](HackOptions&, Settings&) {}},
        // The user's music: a file or a folder, named as given (whether it is
        // there is found out when the music starts); the last one wins; an
        // empty one is none.
        {{"--archivo-musica", "/home/ana/m\xc3\xbasica/a b.xm"},
         [](HackOptions& o, Settings&) { o.musicPath = "/home/ana/m\xc3\xbasica/a b.xm"; }},
        {{"--archivo-musica=/srv/mods/"},
         [](HackOptions& o, Settings&) { o.musicPath = "/srv/mods/"; }},
        {{"--archivo-musica", "/a", "--archivo-musica", "-b"},
         [](HackOptions& o, Settings&) { o.musicPath = "-b"; }},
        {{"--archivo-musica", "/a", "--archivo-musica", ""}, [](HackOptions&, Settings&) {}},
        {{"--window-id", "7", "--archivo-musica", "/a"},
         [](HackOptions& o, Settings& s) {
             o.windowId = 7;
             o.musicPath = "/a";
             s.musica = false;
         }},
        {{"--root", "--fps", "--delay", "20000", "--ninja", "--no-musica", "--tipo-ilum", "1"},
         [](HackOptions& o, Settings& s) {
             o.root = o.fps = true;
             o.delayMicroseconds = 20000;
             s.ninja = true;
             s.musica = false;
             s.tipoIlum = 1;
         }},
    };
    for (const Case& c : cases) {
        HackOptions options;
        Settings settings;
        SetDefaultSettings(settings);
        c.expect(options, settings);
        std::string what;
        for (const std::string& arg : c.args)
            what += arg + " ";
        ExpectSame(Parse(c.args), options, settings, what);
        ExpectSame(Parse(OneDash(c.args)), options, settings, "one dash: " + what);
    }
}

TEST(HackOptions, HelpAndVersionInEitherForm) {
    for (const char* arg : {"--help", "-help", "--version", "-version"}) {
        const bool help = std::string(arg).find("help") != std::string::npos;
        EXPECT_EQ(Parse({arg}).command, help ? HackCommand::Help : HackCommand::Version) << arg;
    }
}

TEST(HackOptions, BadOptionsAndValuesAreRefusedWithTheReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--window-id"}, "wants a value"},
        {{"--window-id", "0"}, "--window-id wants"},
        {{"--window-id", "0x"}, "--window-id wants"},
        {{"--window-id", "12ab"}, "--window-id wants"},
        {{"--window-id", "-5"}, "--window-id wants"},
        {{"--window-id", "0x100000000"}, "--window-id wants"},
        {{"--delay", "-1"}, "--delay wants"},
        {{"--delay", "1.5"}, "--delay wants"},
        {{"--delay", "2147483648"}, "--delay wants"},
        {{"--delay", ""}, "--delay wants"},
        {{"--tipo-ilum", "3"}, "--tipo-ilum wants"},
        {{"--tipo-ilum", "-1"}, "--tipo-ilum wants"},
        {{"--suelo", "5"}, "--suelo wants"},
        {{"--suelo", "8x"}, "--suelo wants"},
        {{"--suelo"}, "wants a value"},
        {{"--archivo-musica"}, "wants a value"},
        {{"--bogus"}, "'--bogus'"},
        {{"--no-ninja"}, "'--no-ninja'"},
        {{"--no"}, "'--no'"},
        {{"--fps=1"}, "'--fps=1'"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--root", "stray", "--fps"}, "unexpected argument 'stray'"},
    };
    for (const auto& [args, reason] : cases) {
        for (bool oneDash : {false, true}) {
            // The message quotes the option as it was written.
            std::string expected = reason;
            if (oneDash && expected.rfind("'--", 0) == 0)
                expected.erase(1, 1);
            const Parsed parsed = Parse(oneDash ? OneDash(args) : args);
            EXPECT_EQ(parsed.command, HackCommand::Error) << args[0];
            EXPECT_NE(parsed.message.find(expected), std::string::npos)
                << args[0] << ": " << parsed.message;
        }
    }
}

// The settings GUI leaves --delay out when its slider stands at the file's
// default, so that default must be the program's own.
TEST(HackOptions, TheSettingsFileDefaultDelayIsTheProgramsDefault) {
    std::ifstream file(TAZRO_SETTINGS_XML);
    ASSERT_TRUE(file) << TAZRO_SETTINGS_XML;
    const std::string xml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t number = xml.find("<number id=\"delay\"");
    ASSERT_NE(number, std::string::npos);
    const size_t value = xml.find("default=\"", number);
    ASSERT_NE(value, std::string::npos);
    EXPECT_EQ(std::atoi(xml.c_str() + value + 9), kDefaultDelayMicroseconds);
}

TEST(WindowTarget, WindowIdThenXscreensaverWindowUnderRootThenRootThenOwn) {
    struct Case {
        bool root;
        uint32_t windowId;
        const char* environment;
        bool ok;
        WindowTargetKind kind;
        uint32_t id;
    };
    const Case cases[] = {
        {false, 0, nullptr, true, WindowTargetKind::Own, 0},
        {false, 0, "0x400001", true, WindowTargetKind::Own, 0}, // only --root reads it
        {true, 0, nullptr, true, WindowTargetKind::Root, 0},
        {true, 0, "", true, WindowTargetKind::Root, 0},
        {true, 0, "0x2a00007", true, WindowTargetKind::Given, 0x2a00007},
        {true, 0, "12345", true, WindowTargetKind::Given, 12345},
        {true, 0, " 0x10 \n", true, WindowTargetKind::Given, 0x10},
        {false, 99, "0x5", true, WindowTargetKind::Given, 99},
        {true, 99, "0x5", true, WindowTargetKind::Given, 99},
        {true, 0, "window", false, WindowTargetKind::Own, 0},
        {true, 0, "0", false, WindowTargetKind::Own, 0},
        {true, 0, "0x12 0x13", false, WindowTargetKind::Own, 0},
        {true, 0, "0x123456789", false, WindowTargetKind::Own, 0},
    };
    for (const Case& c : cases) {
        HackOptions options;
        options.root = c.root;
        options.windowId = c.windowId;
        WindowTarget target;
        char message[128];
        const std::string what = c.environment != nullptr ? c.environment : "(unset)";
        EXPECT_EQ(ResolveWindowTarget(options, c.environment, target, message, sizeof message),
                  c.ok)
            << what;
        if (!c.ok) {
            EXPECT_NE(std::string(message).find("XSCREENSAVER_WINDOW"), std::string::npos);
            continue;
        }
        EXPECT_EQ(target.kind, c.kind) << what;
        EXPECT_EQ(target.id, c.id) << what;
    }
}

} // namespace
