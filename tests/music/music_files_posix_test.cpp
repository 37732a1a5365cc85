// The playlist's POSIX file system in a scratch folder: what a path names, a
// folder's entries, reading a module (the bound, a FIFO, a folder), and the
// playlist of --archivo-musica with a file, a folder and a missing path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/playlist.h"

namespace {

class MusicFilesPosixTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tazro-music-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + folder + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = folder + "/" + name;
        FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }
    std::string folder;
    const MusicFiles& files = PlatformMusicFiles();
};

TEST_F(MusicFilesPosixTest, KindsEntriesAndReads) {
    const std::string module = Write("a.xm", "module bytes");
    Write("B.XM", "");
    ASSERT_EQ(mkdir((folder + "/sub").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((folder + "/fifo.xm").c_str(), 0600), 0);
    std::string why;
    EXPECT_EQ(files.kind(module.c_str(), why), MusicPathKind::File);
    EXPECT_EQ(files.kind(folder.c_str(), why), MusicPathKind::Folder);
    EXPECT_EQ(files.kind("/dev/null", why), MusicPathKind::Other);
    EXPECT_EQ(files.kind((folder + "/gone").c_str(), why), MusicPathKind::Missing);
    EXPECT_EQ(why, "No such file or directory");
    EXPECT_EQ(files.kind((module + "/x").c_str(), why), MusicPathKind::Missing);

    std::vector<std::string> names;
    ASSERT_TRUE(files.list(folder.c_str(), names, why));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B.XM", "a.xm", "fifo.xm", "sub"}));
    names.clear();
    EXPECT_FALSE(files.list(module.c_str(), names, why));
    EXPECT_EQ(why, "Not a directory");

    // The bound is the file's size, at or past it; a FIFO is refused without
    // waiting for a writer.
    const size_t bound = size_t{1} << 20;
    const std::string atBound = Write("big.xm", std::string(bound, 'x'));
    const std::string pastBound = Write("bigger.xm", std::string(bound + 1, 'x'));
    struct Case {
        std::string path;
        bool ok;
        std::string why;
    };
    const Case cases[] = {
        {module, true, ""},
        {atBound, true, ""},
        {pastBound, false, "larger than 1 MiB"},
        {folder + "/fifo.xm", false, "not a regular file"},
        {folder + "/sub", false, "not a regular file"},
        {folder + "/gone.xm", false, "No such file or directory"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes{1, 2, 3};
        why.clear();
        EXPECT_EQ(files.read(c.path.c_str(), bound, bytes, why), c.ok) << c.path;
        EXPECT_EQ(why, c.why) << c.path;
        if (c.ok) {
            std::string expected;
            FILE* file = std::fopen(c.path.c_str(), "rb");
            for (int ch; (ch = std::fgetc(file)) != EOF;)
                expected += static_cast<char>(ch);
            std::fclose(file);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected) << c.path;
        } else {
            EXPECT_TRUE(bytes.empty()) << c.path;
        }
    }
}

// The player plays a module whose bytes are "XM NAME", and nothing else.
std::vector<std::string> heard;
MusicStart Play(const uint8_t* bytes, size_t size, SongLoadError* error) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    *error = text.rfind("XM ", 0) == 0 ? SongLoadError::kNone : SongLoadError::kNotXm;
    if (*error != SongLoadError::kNone)
        return MusicStart::NoSong;
    heard.push_back(text.substr(3));
    return MusicStart::Playing;
}
bool Queue(const uint8_t* bytes, size_t size, int32_t, SongLoadError* error) {
    return Play(bytes, size, error) == MusicStart::Playing;
}
bool HandedOver() {
    return true;
}
void Embedded() {
    heard.push_back("embedded");
}
const MusicPlayer player = {Play, Queue, HandedOver, Embedded};
std::vector<std::string> said;
void Say(const char* line) {
    said.push_back(line);
}

TEST_F(MusicFilesPosixTest, TheMusicOptionWithAFileAFolderOrAMissingPath) {
    const std::string one = Write("one.xm", "XM one");
    Write("two.XM", "XM two");
    Write("notes.txt", "XM notes");
    Write("bad.xm", "junk");
    struct Case {
        std::string path;
        std::vector<std::string> heard; // sorted
        size_t lines;
    };
    const Case cases[] = {
        {one, {"one"}, 0},
        {folder, {"one", "two"}, 1},
        {folder + "/", {"one", "two"}, 1},
        {folder + "/gone", {"embedded"}, 1},
    };
    for (const Case& c : cases) {
        heard.clear();
        said.clear();
        Playlist list;
        OpenPlaylist(list, c.path.c_str(), files, player, Say, 7);
        StartPlaylist(list);
        for (int i = 0; i < 4; ++i)
            StepPlaylist(list);
        std::sort(heard.begin(), heard.end());
        heard.erase(std::unique(heard.begin(), heard.end()), heard.end());
        EXPECT_EQ(heard, c.heard) << c.path;
        EXPECT_EQ(said.size(), c.lines) << c.path;
        for (const std::string& line : said)
            EXPECT_NE(line.find(c.path == folder + "/gone" ? c.path : folder + "/bad.xm"),
                      std::string::npos)
                << line;
    }
}

} // namespace
