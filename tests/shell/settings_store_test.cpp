#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "shell/settings_store.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An in-memory key that behaves like a registry key read with a fixed buffer:
// a value longer than the buffer fails to read.
class FakeKey final : public SettingsKey {
  public:
    struct Write {
        std::string name;
        Bytes data;
    };

    bool Read(const char* name, uint8_t* buffer, uint32_t capacity, uint32_t& length) override {
        const auto found = values.find(name);
        if (found == values.end() || found->second.size() > capacity)
            return false;
        if (!found->second.empty())
            std::memcpy(buffer, found->second.data(), found->second.size());
        length = static_cast<uint32_t>(found->second.size());
        return true;
    }

    void WriteDword(const char* name, const uint8_t* data, uint32_t length) override {
        writes.push_back({name, Bytes(data, data + length)});
        values[name] = Bytes(data, data + length);
    }

    std::map<std::string, Bytes> values;
    std::vector<Write> writes;
};

Bytes FloatBytes(float value) {
    Bytes bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

// Every field of the record, in one comparable value.
auto Fields(const Settings& s) {
    return std::make_tuple(s.ninja, s.sombras, s.invtex, s.autocam, s.musica, s.interpol,
                           s.tipoIlum, s.nCamara, s.nSuelo, s.frames);
}

Settings Loaded(FakeKey& key) {
    Settings s;
    SetDefaultSettings(s);
    ReadSettingsValues(key, s);
    return s;
}

// A record with every field away from its default.
Settings EveryFieldChanged() {
    Settings s;
    s.ninja = true;
    s.sombras = false;
    s.invtex = true;
    s.autocam = false;
    s.musica = false;
    s.interpol = false;
    s.tipoIlum = 1;
    s.nCamara = -7;
    s.nSuelo = 8;
    s.frames = 12.25f;
    return s;
}

TEST(SettingsStore, AnEmptyKeyChangesNothing) {
    Settings s = EveryFieldChanged();
    FakeKey key;
    ReadSettingsValues(key, s);
    EXPECT_EQ(Fields(s), Fields(EveryFieldChanged()));
}

TEST(SettingsStore, SaveWritesTheStoredLayoutInOrder) {
    Settings s = EveryFieldChanged();
    s.interpol = true;      // a true beside the falses
    s.tipoIlum = -2;        // a negative number
    s.nCamara = 0x01020304; // four different bytes
    FakeKey key;
    WriteSettingsValues(key, s);

    const std::vector<FakeKey::Write> expected = {
        {"ninja", {1}},
        {"sombras", {0}},
        {"invtex", {1}},
        {"autocam", {0}},
        {"musica", {0}},
        {"interpol", {1}},
        {"tipoIlum", {0xFE, 0xFF, 0xFF, 0xFF}},
        {"nCamara", {0x04, 0x03, 0x02, 0x01}},
        {"nSuelo", {0x08, 0x00, 0x00, 0x00}},
    };
    ASSERT_EQ(key.writes.size(), expected.size()); // frames is not saved
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(key.writes[i].name, expected[i].name);
        EXPECT_EQ(key.writes[i].data, expected[i].data) << expected[i].name;
    }
}

TEST(SettingsStore, FramesIsWrittenAloneAsTheFloatsBytes) {
    FakeKey key;
    WriteFramesValue(key, 62.5f);
    ASSERT_EQ(key.writes.size(), 1u);
    EXPECT_EQ(key.writes[0].name, "frames");
    EXPECT_EQ(key.writes[0].data, (Bytes{0x00, 0x00, 0x7A, 0x42}));
    EXPECT_EQ(Loaded(key).frames, 62.5f);
}

TEST(SettingsStore, SavingAndLoadingReproducesEveryFieldAndLeavesFramesAlone) {
    const Settings saved = EveryFieldChanged();
    FakeKey key;
    WriteFramesValue(key, 40.0f);
    WriteSettingsValues(key, saved);

    Settings s;
    ReadSettingsValues(key, s);
    Settings expected = saved;
    expected.frames = 40.0f; // the earlier stored rate, not the record's
    EXPECT_EQ(Fields(s), Fields(expected));
}

TEST(SettingsStore, DataLongerThanItsFieldKeepsTheDefault) {
    FakeKey key;
    key.values["ninja"] = {1, 0, 0, 0};   // a full DWORD under a 1-byte value
    key.values["sombras"] = {0, 0, 0, 0}; // would turn shadows off if it were read
    key.values["interpol"] = {0, 0};
    key.values["tipoIlum"] = {0, 0, 0, 0, 0};
    key.values["nSuelo"] = {8, 0, 0, 0, 0, 0, 0, 0}; // a QWORD
    key.values["frames"] = {0, 0, 0x7A, 0x42, 0};
    key.values["musica"] = {0}; // the one proper value is still read
    const Settings s = Loaded(key);
    EXPECT_FALSE(s.ninja);
    EXPECT_TRUE(s.sombras);
    EXPECT_TRUE(s.interpol);
    EXPECT_EQ(s.tipoIlum, 2);
    EXPECT_EQ(s.nSuelo, 2);
    EXPECT_EQ(s.frames, 0.0f);
    EXPECT_FALSE(s.musica);
}

TEST(SettingsStore, ShortOrOddDataIsReadAsALittleEndianNumber) {
    FakeKey key;
    key.values["ninja"] = {5};       // any non-zero byte is on
    key.values["autocam"] = {0};     // zero is off
    key.values["invtex"] = {};       // empty: ignored
    key.values["nSuelo"] = {8};      // one byte, zero-extended
    key.values["tipoIlum"] = {1, 0}; // two bytes
    key.values["nCamara"] = {0xFF, 0xFF, 0xFF, 0x7F};
    Settings s = Loaded(key);
    EXPECT_TRUE(s.ninja);
    EXPECT_FALSE(s.autocam);
    EXPECT_FALSE(s.invtex);
    EXPECT_EQ(s.nSuelo, 8);
    EXPECT_EQ(s.tipoIlum, 1);
    EXPECT_EQ(s.nCamara, INT32_MAX);
    // Bools hold only 0 or 1 afterwards, whatever the stored byte was.
    uint8_t raw;
    std::memcpy(&raw, &s.ninja, 1);
    EXPECT_EQ(raw, 1);
}

TEST(SettingsStore, AFloorOutsideTheTextureSlotsFallsBackToTheDefault) {
    const struct {
        Bytes stored;
        int32_t loaded;
    } cases[] = {
        {{42, 0, 0, 0}, 2},   {{9, 0, 0, 0}, 2}, {{0xFF, 0xFF, 0xFF, 0xFF}, 2},
        {{0, 0, 0, 0x80}, 2}, {{0, 0, 0, 0}, 0}, {{8, 0, 0, 0}, 8},
        {{5, 0, 0, 0}, 5}, // a slot, though no floor name: drawn, shown with an empty name
    };
    for (const auto& c : cases) {
        FakeKey key;
        key.values["nSuelo"] = c.stored;
        EXPECT_EQ(Loaded(key).nSuelo, c.loaded);
    }
}

TEST(SettingsStore, OtherStrangeValuesAreKeptOrMadeHarmless) {
    FakeKey key;
    key.values["tipoIlum"] = {7, 0, 0, 0}; // kept: means no lighting to the scene
    key.values["frames"] = FloatBytes(std::numeric_limits<float>::quiet_NaN());
    Settings s = Loaded(key);
    EXPECT_EQ(s.tipoIlum, 7);
    EXPECT_EQ(s.frames, 0.0f);

    key.values["frames"] = FloatBytes(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(Loaded(key).frames, 0.0f);
    key.values["frames"] = FloatBytes(-3.5f); // odd but finite: shown as it is
    EXPECT_EQ(Loaded(key).frames, -3.5f);
}

TEST(SettingsStore, FramesAreStoredAsTheFloatsBits) {
    uint8_t bytes[4];
    FramesToBytes(62.5f, bytes);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0x7A);
    EXPECT_EQ(bytes[3], 0x42);
}

} // namespace
