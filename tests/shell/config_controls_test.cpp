#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "shell/config_controls.h"
#include "terrain/name_lists.h"

namespace {

using namespace ConfigControlId;

class FakeControls final : public ConfigControls {
  public:
    void AppendComboName(int comboId, const char* name) override { lists[comboId].push_back(name); }
    void SetComboText(int comboId, const char* text) override { texts[comboId] = text; }
    std::string GetComboText(int comboId) override { return texts[comboId]; }
    void SetChecked(int buttonId, bool checked) override { checks[buttonId] = checked; }
    bool IsChecked(int buttonId) override { return checks[buttonId]; }
    void SetText(int controlId, const char* text) override { texts[controlId] = text; }

    std::map<int, std::vector<std::string>> lists;
    std::map<int, std::string> texts;
    std::map<int, bool> checks;
};

class ConfigControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        BuildNameLists();
        SetDefaultSettings(s);
    }
    void Fill(bool appendNames) {
        FillConfigControls(controls, s, cameraList, floorList, appendNames);
    }
    void Read() { ReadConfigControls(controls, s, cameraList, floorList); }

    Settings s;
    FakeControls controls;
};

TEST(NameLists, FloorIdsAreTextureSlotsAndRebuildingAddsNothing) {
    BuildNameLists();
    BuildNameLists();
    ASSERT_EQ(cameraList.entries.size(), 1u);
    EXPECT_EQ(cameraList.entries[0].id, 0);
    EXPECT_EQ(cameraList.entries[0].name, "Estandar");
    ASSERT_EQ(floorList.entries.size(), 2u);
    // Ids are slots, not list positions.
    EXPECT_EQ(floorList.entries[0].id, 2);
    EXPECT_EQ(floorList.entries[0].name, "Seco");
    EXPECT_EQ(floorList.entries[1].id, 8);
    EXPECT_EQ(floorList.entries[1].name, "Lava");
}

TEST_F(ConfigControlsTest, DefaultsShowAsTheFreshProfileDoes) {
    Fill(true);
    EXPECT_EQ(controls.lists[kCamera], (std::vector<std::string>{"Estandar"}));
    EXPECT_EQ(controls.lists[kFloor], (std::vector<std::string>{"Seco", "Lava"}));
    EXPECT_EQ(controls.texts[kCamera], "Estandar");
    EXPECT_EQ(controls.texts[kFloor], "Seco");
    EXPECT_TRUE(controls.checks[kSombras]);
    EXPECT_TRUE(controls.checks[kMusica]);
    EXPECT_TRUE(controls.checks[kInterpol]);
    EXPECT_FALSE(controls.checks[kNinja]);
    EXPECT_FALSE(controls.checks[kInvtex]);
    EXPECT_TRUE(controls.checks[kPerVertex]);
    EXPECT_FALSE(controls.checks[kPerFace]);
    EXPECT_FALSE(controls.checks[kNoLighting]);
    EXPECT_EQ(controls.texts.count(kFrames), 0u); // the caller writes the rate
}

TEST_F(ConfigControlsTest, EachFieldShowsInItsOwnControl) {
    const struct {
        bool Settings::*field;
        int control;
    } pairs[] = {{&Settings::ninja, kNinja},
                 {&Settings::sombras, kSombras},
                 {&Settings::invtex, kInvtex},
                 {&Settings::musica, kMusica},
                 {&Settings::interpol, kInterpol}};
    for (const auto& shown : pairs) {
        for (const auto& p : pairs)
            s.*p.field = false;
        s.*shown.field = true;
        Fill(false);
        for (const auto& p : pairs)
            EXPECT_EQ(controls.checks[p.control], p.control == shown.control) << p.control;
    }
}

TEST_F(ConfigControlsTest, ExactlyOneLightingButtonForAnyValue) {
    const struct {
        int32_t tipoIlum;
        int checked;
    } cases[] = {{2, kPerVertex},  {1, kPerFace},     {0, kNoLighting},
                 {7, kNoLighting}, {-1, kNoLighting}, {INT32_MIN, kNoLighting}};
    for (const auto& c : cases) {
        s.tipoIlum = c.tipoIlum;
        Fill(false);
        for (int id : {kPerVertex, kPerFace, kNoLighting})
            EXPECT_EQ(controls.checks[id], id == c.checked) << c.tipoIlum;
    }
    // Read back, the odd value becomes the one the dialog showed.
    s.tipoIlum = 7;
    Fill(false);
    Read();
    EXPECT_EQ(s.tipoIlum, 0);
}

TEST_F(ConfigControlsTest, AnIdWithoutANameLeavesTheComboEmpty) {
    s.nSuelo = 5;
    s.nCamara = 3;
    Fill(true);
    EXPECT_EQ(controls.texts[kFloor], "");
    EXPECT_EQ(controls.texts[kCamera], "");
    Read(); // an empty text matches nothing
    EXPECT_EQ(s.nSuelo, 5);
    EXPECT_EQ(s.nCamara, 3);
}

TEST_F(ConfigControlsTest, RefreshingChangesTextsButNotTheLists) {
    s.nSuelo = 8;
    s.ninja = true;
    s.tipoIlum = 1;
    Fill(true);
    EXPECT_EQ(controls.texts[kFloor], "Lava");
    for (int i = 0; i < 3; ++i) {
        SetDefaultSettings(s);
        Fill(false);
    }
    EXPECT_EQ(controls.lists[kCamera].size(), 1u);
    EXPECT_EQ(controls.lists[kFloor].size(), 2u);
    EXPECT_EQ(controls.texts[kFloor], "Seco");
    EXPECT_FALSE(controls.checks[kNinja]);
    EXPECT_TRUE(controls.checks[kPerVertex]);
    EXPECT_FALSE(controls.checks[kPerFace]);
}

TEST_F(ConfigControlsTest, NamesMatchExactlyAndCaseSensitively) {
    Fill(true);
    const struct {
        const char* text;
        int32_t nSuelo;
    } cases[] = {{"Lava", 8},  {"Seco", 2},  {"seco", 8}, {"LAVA", 8},
                 {"Lava ", 8}, {" Lava", 8}, {"", 8},     {"Lav", 8}};
    for (const auto& c : cases) {
        s.nSuelo = 8;
        controls.texts[kFloor] = c.text;
        Read();
        EXPECT_EQ(s.nSuelo, c.nSuelo) << '"' << c.text << '"';
    }
    controls.texts[kFloor] = "seco";
    s.nSuelo = 2;
    Read();
    EXPECT_EQ(s.nSuelo, 2);

    s.nCamara = 4;
    controls.texts[kCamera] = "estandar";
    Read();
    EXPECT_EQ(s.nCamara, 4);
    controls.texts[kCamera] = "Estandar";
    Read();
    EXPECT_EQ(s.nCamara, 0);
}

TEST_F(ConfigControlsTest, ReadingTakesEveryControlAndLeavesFramesAndAutocam) {
    Fill(true);
    controls.checks = {{kNinja, true},   {kSombras, false},   {kInvtex, true},
                       {kMusica, false}, {kInterpol, false},  {kPerVertex, false},
                       {kPerFace, true}, {kNoLighting, false}};
    controls.texts[kFloor] = "Lava";
    s.autocam = false;
    s.frames = 31.5f;
    Read();
    EXPECT_TRUE(s.ninja);
    EXPECT_FALSE(s.sombras);
    EXPECT_TRUE(s.invtex);
    EXPECT_FALSE(s.musica);
    EXPECT_FALSE(s.interpol);
    EXPECT_EQ(s.tipoIlum, 1);
    EXPECT_EQ(s.nSuelo, 8);
    EXPECT_EQ(s.nCamara, 0);
    EXPECT_FALSE(s.autocam);
    EXPECT_EQ(s.frames, 31.5f);

    // Several lighting buttons checked: the later one in 1003..1005 wins.
    controls.checks[kPerVertex] = true;
    controls.checks[kNoLighting] = true;
    Read();
    EXPECT_EQ(s.tipoIlum, 0);
    // None checked: unchanged.
    controls.checks[kPerVertex] = controls.checks[kPerFace] = controls.checks[kNoLighting] = false;
    s.tipoIlum = 2;
    Read();
    EXPECT_EQ(s.tipoIlum, 2);
}

TEST(FormatFrames, FiveWideWithTwoDecimals) {
    EXPECT_EQ(FormatFrames(0.0f), " 0.00");
    EXPECT_EQ(FormatFrames(62.5f), "62.50");
    EXPECT_EQ(FormatFrames(7.125f), " 7.12"); // 7.125 is exact: ties to even
    EXPECT_EQ(FormatFrames(123.456f), "123.46");
    EXPECT_EQ(FormatFrames(-3.5f), "-3.50");
    const std::string largest = FormatFrames(std::numeric_limits<float>::max());
    EXPECT_EQ(largest.size(), 42u);
    EXPECT_EQ(largest.substr(0, 8), "34028234");
    EXPECT_EQ(FormatFrames(std::numeric_limits<float>::quiet_NaN()), " 0.00");
    EXPECT_EQ(FormatFrames(std::numeric_limits<float>::infinity()), " 0.00");
}

} // namespace
