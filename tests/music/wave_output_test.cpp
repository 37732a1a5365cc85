// The playback control over the null wave device: what reaches the device
// and when, the mixer thread following the play position, stopping, a second
// start, the failure paths and the music's start and stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "allocation_counter.h"
#include "core/resources.h"
#include "music/mixer.h"
#include "music/music_file.h"
#include "music/replay.h"
#include "music/song_source.h"
#include "music/wave_output.h"
#include "music_test_util.h"

namespace {

constexpr int32_t kBlockBytes = 884 * 4;
constexpr uint32_t kRingBytes = 88400 * 4;
constexpr int32_t kBlocks = 100;

// A melody on a looped sample: every block of the first seconds differs.
XmSong MelodySong() {
    XmSong xm = OneInstrumentSong(2);
    for (int row = 0; row < 64; row += 2)
        xm.patterns[0].At(row, row % 4 == 0 ? 0 : 1) = {static_cast<uint8_t>(37 + (row * 5) % 24),
                                                        1, 0, 0, 0};
    return xm;
}

// A song that never strikes a note.
XmSong SilentSong() {
    return OneInstrumentSong(2);
}

// What the device saw, recorded by a wrapper around the null device.
struct DeviceLog {
    std::vector<std::string> calls; // main-thread operations in order
    std::vector<int16_t> ringAtPlay;
    int32_t fillBlockAtPlay = -1;
    bool ringHeldAtStop = true; // the ring was still allocated whenever the device let go
};
DeviceLog deviceLog;

bool LoggedOpen(int32_t rate) {
    deviceLog.calls.push_back("open");
    return NullWaveDevice().open(rate);
}
bool LoggedPlay(const void* ring, uint32_t bytes) {
    deviceLog.calls.push_back("play");
    const int16_t* samples = static_cast<const int16_t*>(ring);
    deviceLog.ringAtPlay.assign(samples, samples + bytes / 2);
    deviceLog.fillBlockAtPlay = mixRing.fillBlock;
    return NullWaveDevice().play(ring, bytes);
}
WaveReading LoggedPosition() {
    return NullWaveDevice().position();
}
void LoggedStop() {
    deviceLog.calls.push_back("stop");
    if (NullWave().playing && mixRing.pcmRing != NullWave().ring)
        deviceLog.ringHeldAtStop = false;
    NullWaveDevice().stop();
}
void LoggedClose() {
    deviceLog.calls.push_back("close");
    if (NullWave().playing && mixRing.pcmRing != NullWave().ring)
        deviceLog.ringHeldAtStop = false;
    NullWaveDevice().close();
}
bool LoggedStartThread(void (*body)()) {
    deviceLog.calls.push_back("thread");
    return NullWaveDevice().startThread(body);
}
void LoggedEndThread() {
    deviceLog.calls.push_back("end-thread");
    NullWaveDevice().endThread();
}
void LoggedSleep(int32_t milliseconds) {
    NullWaveDevice().sleep(milliseconds);
}
const char* LoggedLastError() {
    return NullWaveDevice().lastError();
}
const WaveDevice loggedDevice = {LoggedOpen,      LoggedPlay,  LoggedPosition,
                                 LoggedStop,      LoggedClose, LoggedStartThread,
                                 LoggedEndThread, LoggedSleep, LoggedLastError};

// Polls done every millisecond for up to five seconds.
template <typename F> bool Eventually(F done) {
    for (int i = 0; i < 5000; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// Waits until the mixer thread has made at least one whole pass after now:
// after that it writes nothing more until the position moves again.
void WaitForPass() {
    const int32_t start = NullWave().sleeps.load();
    ASSERT_TRUE(Eventually([&] { return NullWave().sleeps.load() >= start + 2; }))
        << "the mixer thread stopped making passes";
}

int32_t NonSilentBlocks(const int16_t* ring) {
    int32_t count = 0;
    for (int32_t b = 0; b < kBlocks; ++b) {
        const int16_t* block = ring + 2 * 884 * b;
        bool sound = false;
        for (int32_t i = 0; i < 2 * 884 && !sound; ++i)
            sound = block[i] != 0;
        count += sound;
    }
    return count;
}

// The first frames of a song, mixed block after block as a device would get them.
std::vector<int16_t> Render(Song* song, int64_t frames) {
    EXPECT_TRUE(SetMixRate(kMusicRate));
    EXPECT_TRUE(AllocateMixRing());
    std::vector<int16_t> out = RenderFrames(song, frames);
    DetachSong();
    FreeMixRing();
    return out;
}

// Frames [chunk × 884, (chunk + 1) × 884) of a render.
std::vector<int16_t> Chunk(const std::vector<int16_t>& render, int64_t chunk) {
    const auto from = render.begin() + 2 * 884 * chunk;
    return std::vector<int16_t>(from, from + 2 * 884);
}
std::vector<int16_t> RingBlock(int32_t block) {
    return std::vector<int16_t>(BlockPcm(block), BlockPcm(block) + 2 * 884);
}

// Serves one module as the embedded song, resource 123.
class SongResource final : public ResourceSource {
  public:
    explicit SongResource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
        previous_ = GetResourceSource();
        SetResourceSource(this);
    }
    ~SongResource() { SetResourceSource(previous_); }
    bool Find(const char* typeName, int id, ResourceBytes& out) override {
        if (std::strcmp(typeName, "VOXARESOURCE") != 0 || id != kMusicResourceId || bytes_.empty())
            return false;
        out.data = bytes_.data();
        out.size = bytes_.size();
        return true;
    }

  private:
    std::vector<uint8_t> bytes_;
    ResourceSource* previous_;
};

class WaveOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        StopMusic();
        ResetNullWave();
        deviceLog = DeviceLog{};
        SetWaveDevice(loggedDevice);
        // The file table, as the music start installs it.
        SetMusicFileOps(OpenMusicResource, CloseResourceStream, ReadResourceStream,
                        SeekResourceStream, TellResourceStream);
    }
    void TearDown() override {
        song.reset();
        other.reset();
        StopMusic();
        CloseWaveOutput();
        SetFreeSongHook(nullptr);
        DetachSong();
        FreeMixRing();
        ResetNullWave();
    }
    // Opens the device and starts song on it.
    void Start(Song* s) {
        ASSERT_TRUE(OpenWaveOutput(kMusicRate));
        ASSERT_TRUE(StartPlayback(s));
    }
    SongPtr song, other;
};

TEST_F(WaveOutputTest, StartMixesTheWholeRingBeforeTheDevicePlaysIt) {
    song = LoadXm(MelodySong());
    const std::vector<int16_t> expected = Render(song.get(), 88400);
    Start(song.get());

    EXPECT_EQ(NullWave().rate, kMusicRate);
    EXPECT_EQ(NullWave().ringBytes, kRingBytes);
    EXPECT_EQ(NullWave().ring, mixRing.pcmRing);
    EXPECT_EQ(deviceLog.calls, (std::vector<std::string>{"open", "play", "thread"}));
    // The whole ring held the song's first two seconds, block 0 first.
    EXPECT_EQ(deviceLog.fillBlockAtPlay, 0);
    EXPECT_EQ(NonSilentBlocks(deviceLog.ringAtPlay.data()), kBlocks);
    EXPECT_TRUE(deviceLog.ringAtPlay == expected);
    EXPECT_EQ(mixRing.currentSong, song.get());
}

TEST_F(WaveOutputTest, TheThreadRemixesEachBlockOnceTheDeviceHasPlayedIt) {
    song = LoadXm(MelodySong());
    const std::vector<int16_t> render = Render(song.get(), 5 * 88400);
    Start(song.get());

    // The device is still in block 0: nothing is due.
    WaitForPass();
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 0);

    // Three blocks played: those three are mixed again with the music that
    // follows the first ring; the rest keep the first ring's music.
    NullWaveAdvance(3 * kBlockBytes + 10);
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 3);
    for (int32_t b = 0; b < 3; ++b)
        EXPECT_TRUE(RingBlock(b) == Chunk(render, kBlocks + b)) << "block " << b;
    EXPECT_TRUE(RingBlock(3) == Chunk(render, 3));

    // Round the end of the ring into block 1 of the next loop: blocks 3 to 99
    // and then 0 are mixed, in order; block 1, being played, is not.
    NullWaveAdvance(kRingBytes - 2 * kBlockBytes);
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 1);
    EXPECT_TRUE(RingBlock(0) == Chunk(render, 2 * kBlocks));
    for (int32_t b = 1; b < kBlocks; ++b)
        EXPECT_TRUE(RingBlock(b) == Chunk(render, kBlocks + b)) << "block " << b;

    // A long way ahead within the ring: the writer catches up.
    NullWaveAdvance(60 * kBlockBytes);
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 61);
    // Across the end of the ring in one look: the writer follows round it.
    NullWaveAdvance(44 * kBlockBytes); // playing 5
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 5);
    for (int32_t b : {61, 99, 0, 4})
        EXPECT_TRUE(RingBlock(b) == Chunk(render, (b >= 61 ? 200 : 300) + b)) << "block " << b;
    // A stall of more than a ring: the writer goes on after the playing block.
    NullWaveAdvance(kRingBytes + 20 * kBlockBytes); // playing 25
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 25);
    EXPECT_EQ(playback.nextBlock, 425);
    // The song goes on where it was, from the slot after the playing one.
    EXPECT_TRUE(RingBlock(26) == Chunk(render, 305));
    EXPECT_TRUE(RingBlock(99) == Chunk(render, 305 + 73));
    EXPECT_TRUE(RingBlock(0) == Chunk(render, 305 + 74));
    EXPECT_TRUE(RingBlock(24) == Chunk(render, 305 + 98));
}

TEST_F(WaveOutputTest, TheFillPositionKeepsInStepAcrossTheDeviceCounterWrap) {
    song = LoadXm(MelodySong());
    Start(song.get());
    NullWaveAdvance(5 * kBlockBytes);
    WaitForPass();
    ASSERT_EQ(mixRing.fillBlock, 5);

    // Whole rings move the device back to the same block, so nothing is due,
    // also when the 32-bit byte counter wraps on the way (2^32 is no
    // multiple of the ring). Each jump stays well below 2^32 bytes.
    const uint32_t jump = 3000 * kRingBytes;
    uint64_t played = 5 * kBlockBytes;
    for (int i = 0; i < 5; ++i) {
        NullWaveAdvance(jump);
        played += jump;
        WaitForPass();
        EXPECT_EQ(mixRing.fillBlock, 5) << "after " << played << " bytes";
    }
    ASSERT_GT(played, uint64_t{0xFFFFFFFF});
    EXPECT_LT(NullWave().position.load(), played); // the counter has wrapped

    NullWaveAdvance(kBlockBytes);
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 6);
}

TEST_F(WaveOutputTest, ADeviceCounterThatRestartsIsFollowedFromItsNewPlace) {
    song = LoadXm(MelodySong());
    const std::vector<int16_t> render = Render(song.get(), 3 * 88400);
    Start(song.get());
    NullWaveAdvance(50 * kBlockBytes + 10);
    WaitForPass();
    ASSERT_EQ(mixRing.fillBlock, 50);
    // A reading back by less than a block is jitter: no movement.
    NullWave().position.store(50 * kBlockBytes - 100);
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 50);

    // The counter restarts (a driver reset) and the device plays the ring
    // from its start: the writer fills ahead of slot 0, and on.
    NullWave().position.store(0);
    WaitForPass();
    NullWaveAdvance(3 * kBlockBytes);
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 3);
    // Slot 0 played block 100 of the song, mixed before the restart; the
    // song goes on from there.
    EXPECT_TRUE(RingBlock(99) == Chunk(render, 199));
    EXPECT_TRUE(RingBlock(0) == Chunk(render, 200));
    EXPECT_TRUE(RingBlock(2) == Chunk(render, 202));
}

TEST_F(WaveOutputTest, TheWriterFollowsADeviceInAnyUnitItAnswersIn) {
    struct Case {
        WaveUnit unit;
        uint32_t threeBlocks; // a little over three blocks of playing
    };
    for (const Case& c : {Case{WaveUnit::Bytes, 3 * kBlockBytes + 8},
                          Case{WaveUnit::Samples, 3 * 884 + 2}, Case{WaveUnit::Milliseconds, 61}}) {
        song = LoadXm(MelodySong());
        Start(song.get());
        NullWave().unit = c.unit;
        NullWaveAdvance(c.threeBlocks);
        WaitForPass();
        EXPECT_EQ(mixRing.fillBlock, 3) << static_cast<int>(c.unit);
        // A failed query is no movement.
        NullWave().unit = WaveUnit::None;
        NullWaveAdvance(c.threeBlocks);
        WaitForPass();
        EXPECT_EQ(mixRing.fillBlock, 3) << static_cast<int>(c.unit);
        song.reset();
    }
}

TEST_F(WaveOutputTest, PlayingAllocatesNothing) {
    song = LoadXm(MelodySong());
    Start(song.get());
    WaitForPass();
    // Two and a half rings, seven blocks at a time: nothing in the thread's
    // passes, the replay or the mixing allocates.
    const long before = CountedAllocations();
    for (int i = 0; i < 36; ++i) {
        NullWaveAdvance(7 * kBlockBytes);
        WaitForPass();
    }
    const long after = CountedAllocations();
    EXPECT_EQ(after, before);
    EXPECT_EQ(mixRing.fillBlock, (36 * 7) % kBlocks);
}

// A replay tick that, once armed, holds the mixer thread inside FillBlock.
std::atomic<bool> gateArmed{false};
std::atomic<bool> gateEntered{false};
std::atomic<bool> gateOpen{false};
void GatedTick(Song* song) {
    ReplayTick(song);
    if (!gateArmed.load())
        return;
    gateEntered.store(true);
    for (int i = 0; i < 10000 && !gateOpen.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST_F(WaveOutputTest, StopWaitsForTheBlockBeingMixedAndForTheThread) {
    song = LoadXm(MelodySong());
    song->tickHandler = GatedTick;
    gateArmed = false;
    gateEntered = false;
    gateOpen = false;
    Start(song.get());

    gateArmed = true;
    NullWaveAdvance(2 * kBlockBytes);
    ASSERT_TRUE(Eventually([] { return gateEntered.load(); }));
    EXPECT_TRUE(playback.mixerBusy.load());

    auto stopped = std::async(std::launch::async, [&] { return StopPlayback(song.get()); });
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    // Still mixing: the device keeps the ring, which is still there.
    EXPECT_TRUE(NullWave().playing);
    EXPECT_NE(mixRing.pcmRing, nullptr);
    EXPECT_EQ(NullWave().threadsEnded, 0);

    gateOpen = true;
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(stopped.get());
    gateArmed = false;

    // The thread ended, then the device let go of the ring, then it was freed.
    EXPECT_EQ(deviceLog.calls,
              (std::vector<std::string>{"open", "play", "thread", "end-thread", "stop"}));
    EXPECT_TRUE(deviceLog.ringHeldAtStop);
    EXPECT_TRUE(playback.threadFinished.load());
    EXPECT_FALSE(NullWave().playing);
    EXPECT_EQ(mixRing.pcmRing, nullptr);
    EXPECT_EQ(mixRing.currentSong, nullptr);
    EXPECT_TRUE(NullWave().isOpen); // the device stays open until CloseWaveOutput
    CloseWaveOutput();
    EXPECT_FALSE(NullWave().isOpen);
}

TEST_F(WaveOutputTest, ASecondStartEndsTheFirstAndStartsFromSilence) {
    song = LoadXm(MelodySong());
    other = LoadXm(SilentSong());
    Start(song.get());
    NullWaveAdvance(4 * kBlockBytes);
    WaitForPass();

    // The second song strikes no note: had any voice of the first one been
    // left sounding, the new ring would not be silent.
    ASSERT_TRUE(StartPlayback(other.get()));
    EXPECT_EQ(deviceLog.calls, (std::vector<std::string>{"open", "play", "thread", "end-thread",
                                                         "stop", "play", "thread"}));
    EXPECT_TRUE(deviceLog.ringHeldAtStop);
    EXPECT_EQ(NonSilentBlocks(deviceLog.ringAtPlay.data()), 0);
    EXPECT_EQ(mixRing.currentSong, other.get());
    EXPECT_EQ(NullWave().threadsStarted, 2);
    EXPECT_EQ(NullWave().threadsEnded, 1);

    // Freeing the first song, no longer playing, leaves the second alone.
    song.reset();
    EXPECT_TRUE(NullWave().playing);
    EXPECT_EQ(NullWave().threadsEnded, 1);
    NullWaveAdvance(kBlockBytes);
    WaitForPass();
    EXPECT_EQ(mixRing.fillBlock, 1);
}

TEST_F(WaveOutputTest, FailuresLeaveNothingPlayingAndNothingHeld) {
    song = LoadXm(MelodySong());
    EXPECT_FALSE(StartPlayback(song.get())); // no device open yet
    EXPECT_FALSE(StartPlayback(nullptr));
    EXPECT_FALSE(StopPlayback(nullptr));

    // The device refuses the ring (a failed prepare or write).
    ASSERT_TRUE(OpenWaveOutput(kMusicRate));
    NullWave().refusePlay = true;
    EXPECT_FALSE(StartPlayback(song.get()));
    EXPECT_EQ(NullWave().threadsStarted, 0);
    EXPECT_EQ(mixRing.pcmRing, nullptr);
    EXPECT_EQ(mixRing.currentSong, nullptr);
    for (const Voice& voice : voices)
        EXPECT_EQ(voice.sample, nullptr);

    // No thread can be made: the device, which already plays the ring, is
    // stopped before the ring goes, else it would loop two seconds for ever.
    NullWave().refusePlay = false;
    NullWave().refuseThread = true;
    deviceLog.calls.clear();
    EXPECT_FALSE(StartPlayback(song.get()));
    EXPECT_EQ(deviceLog.calls, (std::vector<std::string>{"play", "thread", "stop"}));
    EXPECT_TRUE(deviceLog.ringHeldAtStop);
    EXPECT_FALSE(NullWave().playing);
    EXPECT_EQ(mixRing.pcmRing, nullptr);
    EXPECT_EQ(mixRing.currentSong, nullptr);
    EXPECT_TRUE(playback.threadFinished.load());

    // Nothing is left behind that keeps a later start from working.
    NullWave().refuseThread = false;
    EXPECT_TRUE(StartPlayback(song.get()));
    EXPECT_EQ(NullWave().threadsStarted, 1);
    song.reset(); // FreeSong stops it
    EXPECT_EQ(NullWave().threadsEnded, 1);
    EXPECT_FALSE(NullWave().playing);

    // Opening fails without the whole file table, without a device, or at a
    // rate the mixer does not take.
    SetMusicFileOps(OpenMusicResource, CloseResourceStream, ReadResourceStream, nullptr,
                    TellResourceStream);
    EXPECT_FALSE(OpenWaveOutput(kMusicRate));
    SetMusicFileOps(OpenMusicResource, CloseResourceStream, ReadResourceStream, SeekResourceStream,
                    TellResourceStream);
    EXPECT_FALSE(OpenWaveOutput(kMaxMixRate + 1));
    NullWave().refuseOpen = true;
    EXPECT_FALSE(OpenWaveOutput(kMusicRate));
    EXPECT_FALSE(NullWave().isOpen);
}

TEST_F(WaveOutputTest, TheNullDeviceSaysWhyItRefusedUntilTheNextSuccess) {
    const WaveDevice& device = NullWaveDevice();
    EXPECT_STREQ(device.lastError(), "");
    EXPECT_FALSE(device.play(nullptr, 0));
    EXPECT_STREQ(device.lastError(), "null device: not open");
    NullWave().refuseOpen = true;
    EXPECT_FALSE(device.open(kMusicRate));
    EXPECT_STREQ(device.lastError(), "null device: refused to open, as told");
    NullWave().refuseOpen = false;
    EXPECT_TRUE(device.open(kMusicRate));
    EXPECT_STREQ(device.lastError(), "");
    NullWave().refusePlay = true;
    EXPECT_FALSE(device.play(nullptr, 0));
    EXPECT_STREQ(device.lastError(), "null device: refused to play, as told");
    device.close();
}

TEST_F(WaveOutputTest, TheMusicStartAndStop) {
    SongResource resource(WriteXm(MelodySong()));

    // Never started: nothing reaches the device.
    StopMusic();
    EXPECT_TRUE(deviceLog.calls.empty());

    testing::internal::CaptureStdout();
    StartMusicOn(loggedDevice, kMusicResourceId);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(playback.musicSong, nullptr);
    EXPECT_EQ(mixRing.currentSong, playback.musicSong);
    EXPECT_EQ(NullWave().rate, 44100);
    EXPECT_TRUE(NullWave().playing);

    // Starting again stops the first playback and frees its song.
    StartMusicOn(loggedDevice, kMusicResourceId);
    EXPECT_EQ(NullWave().threadsStarted, 2);
    EXPECT_EQ(NullWave().threadsEnded, 1);

    StopMusic();
    EXPECT_EQ(playback.musicSong, nullptr);
    EXPECT_EQ(NullWave().threadsEnded, 2);
    EXPECT_FALSE(NullWave().isOpen);
    EXPECT_EQ(mixRing.pcmRing, nullptr);
    EXPECT_EQ(deviceLog.calls.back(), "close");
    StopMusic(); // twice is harmless
    EXPECT_EQ(NullWave().closes, 2);
}

TEST_F(WaveOutputTest, TheMusicStartReportsItsTwoFailures) {
    // No sound device.
    {
        SongResource resource(WriteXm(MelodySong()));
        NullWave().refuseOpen = true;
        testing::internal::CaptureStdout();
        StartMusicOn(loggedDevice, kMusicResourceId);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error upon initialization\n");
        EXPECT_EQ(playback.musicSong, nullptr);
        EXPECT_EQ(NullWave().threadsStarted, 0);
        StopMusic();
        EXPECT_EQ(NullWave().closes, 0);
        NullWave().refuseOpen = false;
    }
    // No song, or a damaged one: the device stays open until StopMusic.
    for (const std::vector<uint8_t>& bytes :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{'n', 'o', 't', ' ', 'x', 'm'}}) {
        SongResource resource(bytes);
        ResetNullWave();
        testing::internal::CaptureStdout();
        StartMusicOn(loggedDevice, kMusicResourceId);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error loading song\n");
        EXPECT_EQ(playback.musicSong, nullptr);
        EXPECT_TRUE(NullWave().isOpen);
        EXPECT_EQ(NullWave().threadsStarted, 0);
        StopMusic();
        EXPECT_FALSE(NullWave().isOpen);
        EXPECT_EQ(NullWave().closes, 1);
    }
}

TEST_F(WaveOutputTest, TheMusicStartsFromAModuleInMemory) {
    const std::vector<uint8_t> melody = WriteXm(MelodySong());
    song = LoadXm(melody);
    const std::vector<int16_t> render = Render(song.get(), 88400);
    SongLoadError error = SongLoadError::kOutOfMemory;
    testing::internal::CaptureStdout();
    EXPECT_EQ(StartMusicFromBytesOn(loggedDevice, melody.data(), melody.size(), &error),
              MusicStart::Playing);
    EXPECT_EQ(error, SongLoadError::kNone);
    EXPECT_NE(playback.musicSong, nullptr);
    EXPECT_TRUE(NullWave().playing);
    EXPECT_TRUE(deviceLog.ringAtPlay == render); // the module's music, from its start
    EXPECT_EQ(MusicPasses(), 0);                 // 64 rows outlast the first ring

    // A module that cannot be played is not reported: the caller names it
    // and goes on, here with the embedded song.
    std::vector<uint8_t> s3m(2048, 0);
    std::memcpy(&s3m[44], "SCRM", 4);
    EXPECT_EQ(StartMusicFromBytesOn(loggedDevice, s3m.data(), s3m.size(), &error),
              MusicStart::NoSong);
    EXPECT_EQ(error, SongLoadError::kS3mModule);
    EXPECT_EQ(playback.musicSong, nullptr);
    EXPECT_FALSE(NullWave().playing);
    EXPECT_TRUE(NullWave().isOpen);
    {
        SongResource resource(WriteXm(MelodySong()));
        StartMusicOn(loggedDevice, kMusicResourceId);
    }
    EXPECT_TRUE(NullWave().playing);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // A song shorter than the first ring has been played through once it
    // starts; the mixer thread keeps the count.
    XmSong shortSong = MelodySong();
    shortSong.patterns[0] = EmptyPattern(shortSong, 4);
    shortSong.tempo = 1;
    const std::vector<uint8_t> bytes = WriteXm(shortSong);
    EXPECT_EQ(StartMusicFromBytesOn(loggedDevice, bytes.data(), bytes.size()), MusicStart::Playing);
    const int32_t passes = MusicPasses();
    EXPECT_GT(passes, 20); // 4 ticks of 882 frames in a ring of 88,400
    NullWaveAdvance(kRingBytes / 2);
    EXPECT_TRUE(Eventually([&] { return MusicPasses() > passes; }));
    StopMusic();
    EXPECT_EQ(MusicPasses(), 0);

    // No device: reported as ever.
    NullWave().refuseOpen = true;
    testing::internal::CaptureStdout();
    EXPECT_EQ(StartMusicFromBytesOn(loggedDevice, melody.data(), melody.size()),
              MusicStart::NoDevice);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error upon initialization\n");
    NullWave().refuseOpen = false;
}

TEST_F(WaveOutputTest, AQueuedModuleTakesOverOnTheMixerThreadAndTheOneItFollowedIsFreed) {
    XmSong first = MelodySong(); // 64 rows of 2 ticks: longer than the first ring
    first.tempo = 2;
    const std::vector<uint8_t> firstBytes = WriteXm(first), next = WriteXm(MelodySong());
    const std::vector<uint8_t> notXm{'n', 'o', 't', ' ', 'x', 'm'};
    SongLoadError error = SongLoadError::kOutOfMemory;
    EXPECT_FALSE(QueueMusicFromBytes(next.data(), next.size(), 60, &error)); // nothing plays
    EXPECT_EQ(error, SongLoadError::kNone);

    ASSERT_EQ(StartMusicFromBytesOn(loggedDevice, firstBytes.data(), firstBytes.size()),
              MusicStart::Playing);
    Song* const playing = playback.musicSong;
    EXPECT_FALSE(QueueMusicFromBytes(notXm.data(), notXm.size(), 60, &error));
    EXPECT_EQ(error, SongLoadError::kNotXm);
    ASSERT_TRUE(QueueMusicFromBytes(next.data(), next.size(), 60, &error));
    EXPECT_EQ(error, SongLoadError::kNone);
    EXPECT_FALSE(QueueMusicFromBytes(next.data(), next.size(), 60, &error)); // one at a time
    EXPECT_EQ(error, SongLoadError::kNone);
    EXPECT_FALSE(MusicHandedOver());

    // The device plays on block by block; the mixer thread hands over once
    // the first song has come back to its first row, allocating nothing.
    const long before = CountedAllocations();
    for (int i = 0; i < 200 && playback.retiredSong.load() == nullptr; ++i) {
        NullWaveAdvance(kBlockBytes);
        WaitForPass();
    }
    EXPECT_EQ(CountedAllocations(), before);
    ASSERT_EQ(playback.retiredSong.load(), playing);
    EXPECT_TRUE(MusicHandedOver());
    EXPECT_FALSE(MusicHandedOver());
    EXPECT_NE(playback.musicSong, playing);
    EXPECT_EQ(mixRing.currentSong, playback.musicSong);
    EXPECT_EQ(MusicPasses(), 0);

    // A bound of no time: the next one takes over at the next tick.
    ASSERT_TRUE(QueueMusicFromBytes(firstBytes.data(), firstBytes.size(), 0));
    NullWaveAdvance(kBlockBytes);
    EXPECT_TRUE(Eventually([] { return MusicHandedOver(); }));

    // Stopping with a song queued frees it too (the sanitizer build's leak
    // check sees it); so does starting again.
    ASSERT_TRUE(QueueMusicFromBytes(next.data(), next.size(), 60));
    StopMusic();
    EXPECT_EQ(playback.queuedSong.load(), nullptr);
    EXPECT_EQ(playback.followingSong, nullptr);
    EXPECT_EQ(playback.musicSong, nullptr);
    EXPECT_FALSE(NullWave().isOpen);
    ASSERT_EQ(StartMusicFromBytesOn(loggedDevice, firstBytes.data(), firstBytes.size()),
              MusicStart::Playing);
    ASSERT_TRUE(QueueMusicFromBytes(next.data(), next.size(), 0));
    NullWaveAdvance(kBlockBytes);
    ASSERT_TRUE(Eventually([] { return playback.retiredSong.load() != nullptr; }));
    ASSERT_EQ(StartMusicFromBytesOn(loggedDevice, next.data(), next.size()), MusicStart::Playing);
    EXPECT_FALSE(MusicHandedOver());
}

std::vector<MusicFailure> reportedFailures;

TEST_F(WaveOutputTest, AnInstalledReportTellsOfTheFailuresInsteadOfTheLines) {
    reportedFailures.clear(); // also when the test is repeated
    SetMusicFailureReport([](MusicFailure failure) { reportedFailures.push_back(failure); });
    testing::internal::CaptureStdout();
    {
        SongResource resource(WriteXm(MelodySong()));
        NullWave().refuseOpen = true;
        StartMusicOn(loggedDevice, kMusicResourceId);
        NullWave().refuseOpen = false;
    }
    {
        SongResource resource(std::vector<uint8_t>{'n', 'o'});
        StartMusicOn(loggedDevice, kMusicResourceId);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(reportedFailures,
              (std::vector<MusicFailure>{MusicFailure::NoDevice, MusicFailure::NoSong}));
    StopMusic();

    SetMusicFailureReport(nullptr); // the two lines again
    SongResource resource(std::vector<uint8_t>{'n', 'o'});
    testing::internal::CaptureStdout();
    StartMusicOn(loggedDevice, kMusicResourceId);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error loading song\n");
    StopMusic();
}

} // namespace
