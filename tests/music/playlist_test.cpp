// The playlist over a fake file system and a fake player: the order of the
// rounds, the skipped files, the fall-back to the embedded song, the
// hand-over after each module's once-through (or its bound), a lone module.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "music/playlist.h"

namespace {

// A file's bytes, a folder (made of the paths below it), or a path that
// cannot be read, with why.
struct FakeEntry {
    MusicPathKind kind = MusicPathKind::File;
    std::string bytes;
    std::string why; // read or list failure
};
std::map<std::string, FakeEntry> fakeFiles;
int fakeReads = 0;

MusicPathKind FakeKind(const char* path, std::string& why) {
    const auto it = fakeFiles.find(path);
    if (it == fakeFiles.end()) {
        why = "No such file or directory";
        return MusicPathKind::Missing;
    }
    why = it->second.why;
    return it->second.kind;
}

bool FakeList(const char* folder, std::vector<std::string>& names, std::string& why) {
    if (!fakeFiles[folder].why.empty()) {
        why = fakeFiles[folder].why;
        return false;
    }
    const std::string prefix = std::string(folder) + "/";
    for (const auto& [path, entry] : fakeFiles)
        if (path.rfind(prefix, 0) == 0 && path.find('/', prefix.size()) == std::string::npos)
            names.push_back(path.substr(prefix.size()));
    std::reverse(names.begin(), names.end()); // no order is promised
    return true;
}

bool FakeRead(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& why) {
    ++fakeReads;
    EXPECT_EQ(maxBytes, kMaxModuleBytes);
    const auto it = fakeFiles.find(path);
    if (it == fakeFiles.end())
        why = "No such file or directory";
    else if (!it->second.why.empty())
        why = it->second.why;
    else if (it->second.kind != MusicPathKind::File)
        why = "not a regular file";
    else
        why.clear();
    if (!why.empty())
        return false;
    bytes.assign(it->second.bytes.begin(), it->second.bytes.end());
    return true;
}

const MusicFiles fakeFileSystem = {FakeKind, FakeList, FakeRead};

// The player "loads" a module whose bytes are "XM NAME"; "MOD" is a MOD
// module, anything else no module at all.
std::vector<std::string> played; // "play NAME", "queue NAME", "embedded"
bool noDevice = false;
bool handOver = false; // the queued module takes over at the next look
std::vector<int32_t> limits;

bool Load(const uint8_t* bytes, size_t size, SongLoadError* error, std::string& name) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    *error = text.rfind("XM ", 0) == 0 ? SongLoadError::kNone
             : text == "MOD"           ? SongLoadError::kModModule
                                       : SongLoadError::kNotXm;
    name = text.size() > 3 ? text.substr(3) : "";
    return *error == SongLoadError::kNone;
}
MusicStart FakePlay(const uint8_t* bytes, size_t size, SongLoadError* error) {
    if (noDevice)
        return MusicStart::NoDevice;
    std::string name;
    if (!Load(bytes, size, error, name))
        return MusicStart::NoSong;
    played.push_back("play " + name);
    return MusicStart::Playing;
}
bool FakeQueue(const uint8_t* bytes, size_t size, int32_t limitSeconds, SongLoadError* error) {
    std::string name;
    if (!Load(bytes, size, error, name))
        return false;
    played.push_back("queue " + name);
    limits.push_back(limitSeconds);
    return true;
}
bool FakeHandedOver() {
    const bool was = handOver;
    handOver = false;
    return was;
}
void FakeEmbedded() {
    played.push_back("embedded");
}
const MusicPlayer fakePlayer = {FakePlay, FakeQueue, FakeHandedOver, FakeEmbedded};

std::vector<std::string> lines;
void Report(const char* line) {
    lines.push_back(line);
}

class PlaylistTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeFiles.clear();
        played.clear();
        limits.clear();
        lines.clear();
        noDevice = handOver = false;
        fakeReads = 0;
    }
    // A folder of modules: NAME.xm holds "XM NAME".
    void Folder(const std::string& folder, const std::vector<std::string>& names) {
        fakeFiles[folder] = {MusicPathKind::Folder, "", ""};
        for (const std::string& name : names)
            fakeFiles[folder + "/" + name] = {MusicPathKind::File,
                                              "XM " + name.substr(0, name.find('.')), ""};
    }
    void Open(const char* path, uint64_t seed = 1) {
        OpenPlaylist(list, path, fakeFileSystem, fakePlayer, Report, seed);
        StartPlaylist(list);
    }
    // Steps until the player has done n things or 100 steps; each step reads
    // at most one file. The queued module takes over whenever asked.
    void Run(size_t n, bool handOvers = true) {
        for (int i = 0; i < 100 && played.size() < n; ++i) {
            handOver = handOvers && !list.queued.empty();
            const int reads = fakeReads;
            StepPlaylist(list);
            ASSERT_LE(fakeReads - reads, 1);
        }
    }
    Playlist list;
};

// The names of the modules in the order they are played or queued.
std::vector<std::string> Order() {
    std::vector<std::string> order;
    for (const std::string& event : played)
        order.push_back(event.substr(event.find(' ') + 1));
    return order;
}

TEST_F(PlaylistTest, AFolderPlaysEachModuleOnceARoundInAFreshOrderEachRound) {
    const std::set<std::string> modules{"a", "B", "c", "d", "e"};
    Folder("/m", {"a.xm", "B.XM", "c.Xm", "d.xm", "e.xm", "notes.txt", ".hidden.xm", "xm"});
    Open("/m");
    Run(1, false);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].rfind("play ", 0), 0u);
    // The next module is queued at once, with the bound; nothing more until
    // it has taken over.
    Run(5, false);
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[1].rfind("queue ", 0), 0u);
    EXPECT_EQ(limits, std::vector<int32_t>{kSongLimitSeconds});

    // Four rounds under each of a few seeds: each round plays every module
    // once, never one twice in a row, and the orders differ.
    std::set<std::vector<std::string>> rounds;
    for (uint64_t seed = 1; seed <= 8; ++seed) {
        played.clear();
        Open("/m", seed);
        Run(4 * modules.size());
        const std::vector<std::string> order = Order();
        ASSERT_EQ(order.size(), 4 * modules.size());
        for (size_t r = 0; r < 4; ++r) {
            const std::vector<std::string> round(order.begin() + r * 5, order.begin() + r * 5 + 5);
            EXPECT_EQ(std::set<std::string>(round.begin(), round.end()), modules) << seed;
            rounds.insert(round);
        }
        for (size_t i = 1; i < order.size(); ++i)
            EXPECT_NE(order[i], order[i - 1]) << "seed " << seed << ", twice in a row at " << i;
    }
    EXPECT_GT(rounds.size(), 16u);
    EXPECT_TRUE(lines.empty());
}

TEST_F(PlaylistTest, UnplayableFilesAreSkippedWithOneLineEachAndNotTriedAgain) {
    Folder("/m", {"good.xm", "fine.xm"});
    fakeFiles["/m/mod.xm"] = {MusicPathKind::File, "MOD", ""};
    fakeFiles["/m/junk.xm"] = {MusicPathKind::File, "junk", ""};
    fakeFiles["/m/huge.xm"] = {MusicPathKind::File, "", "larger than 32 MiB"};
    fakeFiles["/m/sub.xm"] = {MusicPathKind::Folder, "", ""};
    fakeFiles["/m/sub.xm/x.xm"] = {MusicPathKind::File, "XM x", ""};
    Open("/m");
    Run(12);
    const std::vector<std::string> order = Order();
    ASSERT_EQ(order.size(), 12u);
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_TRUE(order[i] == "good" || order[i] == "fine") << order[i];
        if (i > 0) {
            EXPECT_NE(order[i], order[i - 1]);
        }
    }
    std::vector<std::string> sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted,
              (std::vector<std::string>{
                  "'/m/huge.xm' skipped: larger than 32 MiB",
                  "'/m/junk.xm' skipped: " + std::string(SongLoadErrorText(SongLoadError::kNotXm)),
                  "'/m/mod.xm' skipped: a MOD module, not XM: only XM modules are played",
                  "'/m/sub.xm' skipped: not a regular file",
              }));
}

TEST_F(PlaylistTest, WithNothingThatPlaysTheEmbeddedSongPlaysAfterOneLineWhy) {
    struct Case {
        const char* what;
        std::map<std::string, FakeEntry> files;
        const char* path;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"missing", {}, "/gone", {"'/gone': No such file or directory; the embedded song plays"}},
        {"no module in the folder",
         {{"/m", {MusicPathKind::Folder, "", ""}}, {"/m/a.mod", {}}},
         "/m",
         {"no .xm module in '/m'; the embedded song plays"}},
        {"a folder that cannot be read",
         {{"/m", {MusicPathKind::Folder, "", "Permission denied"}}},
         "/m",
         {"'/m': Permission denied; the embedded song plays"}},
        {"neither file nor folder",
         {{"/dev/x", {MusicPathKind::Other, "", ""}}},
         "/dev/x",
         {"'/dev/x' is neither a file nor a folder; the embedded song plays"}},
        {"nothing in the folder plays",
         {{"/m", {MusicPathKind::Folder, "", ""}}, {"/m/x.xm", {MusicPathKind::File, "MOD", ""}}},
         "/m",
         {"'/m/x.xm' skipped: a MOD module, not XM: only XM modules are played",
          "no module in '/m' can be played; the embedded song plays"}},
        {"a file that does not play, whatever its name",
         {{"/s.s3m", {MusicPathKind::File, "junk", ""}}},
         "/s.s3m",
         {"'/s.s3m' skipped: " + std::string(SongLoadErrorText(SongLoadError::kNotXm)),
          "'/s.s3m' cannot be played; the embedded song plays"}},
        {"control characters in a name",
         {{"/m", {MusicPathKind::Folder, "", ""}}, {"/m/a\nb.xm", {MusicPathKind::File, "", ""}}},
         "/m",
         {"'/m/a?b.xm' skipped: " + std::string(SongLoadErrorText(SongLoadError::kNotXm)),
          "no module in '/m' can be played; the embedded song plays"}},
    };
    for (const Case& c : cases) {
        SetUp();
        fakeFiles = c.files;
        Open(c.path);
        Run(3);
        EXPECT_EQ(played, std::vector<std::string>{"embedded"}) << c.what;
        EXPECT_EQ(lines, c.lines) << c.what;
        EXPECT_EQ(list.state, PlaylistState::Done) << c.what;
    }
}

TEST_F(PlaylistTest, ALoneModulePlaysOnByItsOwnLoop) {
    for (const char* path : {"/one.xm", "/m"}) {
        SetUp();
        fakeFiles["/one.xm"] = {MusicPathKind::File, "XM one", ""};
        Folder("/m", {"one.xm"});
        fakeFiles["/m/bad.xm"] = {MusicPathKind::File, "junk", ""};
        Open(path);
        Run(10);
        EXPECT_EQ(played, std::vector<std::string>{"play one"}) << path;
        EXPECT_EQ(lines.size(), std::string(path) == "/m" ? 1u : 0u) << path;
    }
}

TEST_F(PlaylistTest, WithoutASoundDeviceItStopsTrying) {
    Folder("/m", {"a.xm", "b.xm"});
    noDevice = true;
    Open("/m");
    Run(3);
    EXPECT_TRUE(played.empty());
    EXPECT_TRUE(lines.empty()); // the player has said so itself
    EXPECT_EQ(list.state, PlaylistState::Done);
    EXPECT_EQ(fakeReads, 1);
}

TEST_F(PlaylistTest, StoppedItDoesNothingAndStartedAgainItGoesOnWithAnotherModule) {
    Folder("/m", {"a.xm", "b.xm", "c.xm"});
    Open("/m");
    Run(2, false); // one plays, the next is queued
    ASSERT_EQ(played.size(), 2u);
    const std::string first = Order()[0];
    StopPlaylist(list);
    const int reads = fakeReads;
    Run(10);
    EXPECT_EQ(played.size(), 2u);
    EXPECT_EQ(fakeReads, reads);
    StartPlaylist(list);
    Run(3);
    ASSERT_EQ(played.size(), 3u);
    EXPECT_EQ(played[2].rfind("play ", 0), 0u);
    EXPECT_NE(Order()[2], first);
}

} // namespace
