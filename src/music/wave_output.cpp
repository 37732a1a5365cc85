// Playback control over a wave device.
//
// Order matters at both ends. Starting: the ring is mixed whole before the
// device gets it, and the thread is made only once the device plays, with
// threadFinished already cleared, so that a stop that comes at once still
// waits for the thread. Stopping: the thread has ended before the device is
// stopped, and the device has let go of the ring before the ring is freed.
// Every failure on the way undoes what was done, so that the saver goes on
// silently and StopMusic still works.
#include "music/wave_output.h"

#include <cstdio>

#include "music/mixer.h"
#include "music/music_file.h"
#include "music/song_source.h"

Playback playback;

namespace {

void PrintFailure(MusicFailure failure) {
    std::fputs(failure == MusicFailure::NoDevice ? "Error upon initialization\n"
                                                 : "Error loading song\n",
               stdout);
    std::fflush(stdout);
}

MusicFailureReport failureReport = PrintFailure;

void StopPlaybackHook(Song* song) {
    StopPlayback(song);
}

uint32_t RingBytes() {
    return static_cast<uint32_t>(mixRing.ringSamples) * 4;
}

RingGeometry CurrentGeometry() {
    RingGeometry ring;
    ring.mixRate = mixRing.mixRate;
    ring.blockSamples = mixRing.blockSamples;
    ring.ringSamples = mixRing.ringSamples;
    ring.blockCount = mixRing.blockCount;
    ring.rampSamples = mixRing.rampSamples;
    ring.inverseRate = mixRing.inverseRate;
    return ring;
}

} // namespace

void SetWaveDevice(const WaveDevice& device) {
    if (playback.device != &device)
        CloseWaveOutput();
    playback.device = &device;
}

void SetMusicFailureReport(MusicFailureReport report) {
    failureReport = report != nullptr ? report : PrintFailure;
}

namespace {

// The first half of a music start: any music before it stopped, the file
// table installed, the device open at kMusicRate. False (reported) when the
// device cannot be opened.
bool OpenMusicDevice(const WaveDevice& device) {
    StopMusic();
    SetWaveDevice(device);
    SetMusicFileOps(OpenMusicResource, CloseResourceStream, ReadResourceStream, SeekResourceStream,
                    TellResourceStream);
    if (!OpenWaveOutput(kMusicRate)) {
        failureReport(MusicFailure::NoDevice);
        return false;
    }
    return true;
}

// The second half: the loaded song plays, until StopMusic frees it.
void PlayMusicSong(Song* song) {
    playback.musicSong = song;
    StartPlayback(song);
}

} // namespace

void StartMusicOn(const WaveDevice& device, int id) {
    if (!OpenMusicDevice(device))
        return;
    Song* song = LoadSong(id);
    if (song == nullptr) {
        failureReport(MusicFailure::NoSong); // the device stays open until StopMusic
        return;
    }
    PlayMusicSong(song);
}

MusicStart StartMusicFromBytesOn(const WaveDevice& device, const uint8_t* bytes, size_t size,
                                 SongLoadError* error) {
    if (error != nullptr)
        *error = SongLoadError::kNone;
    if (!OpenMusicDevice(device))
        return MusicStart::NoDevice;
    Song* song = LoadSongFromMemory(bytes, size, error);
    if (song == nullptr)
        return MusicStart::NoSong; // the device stays open until StopMusic
    PlayMusicSong(song);
    return MusicStart::Playing;
}

bool QueueMusicFromBytes(const uint8_t* bytes, size_t size, int32_t limitSeconds,
                         SongLoadError* error) {
    if (error != nullptr)
        *error = SongLoadError::kNone;
    if (!playback.threadRunning || playback.musicSong == nullptr ||
        playback.followingSong != nullptr)
        return false;
    Song* song = LoadSongFromMemory(bytes, size, error);
    if (song == nullptr)
        return false;
    playback.followingSong = song;
    playback.queuedHandOverFrames =
        static_cast<int64_t>(limitSeconds < 0 ? 0 : limitSeconds) * mixRing.mixRate;
    playback.queuedSong.store(song, std::memory_order_release);
    return true;
}

bool MusicHandedOver() {
    Song* retired = playback.retiredSong.exchange(nullptr, std::memory_order_acquire);
    if (retired == nullptr)
        return false;
    // No longer the mixer's: freeing it leaves the playback alone.
    FreeSong(retired);
    playback.musicSong = playback.followingSong;
    playback.followingSong = nullptr;
    return true;
}

int32_t MusicPasses() {
    return playback.songPasses.load(std::memory_order_acquire);
}

void StopMusic() {
    // The thread ends first; then every song is the main thread's again.
    if (playback.ownsRing)
        StopPlayback(mixRing.currentSong);
    MusicHandedOver();
    playback.queuedSong.store(nullptr, std::memory_order_relaxed);
    FreeSong(playback.followingSong);
    playback.followingSong = nullptr;
    FreeSong(playback.musicSong);
    playback.musicSong = nullptr;
    CloseWaveOutput();
}

bool OpenWaveOutput(int32_t rate) {
    if (!MusicFileOpsComplete())
        return false;
    CloseWaveOutput();
    if (playback.device == nullptr || !SetMixRate(rate))
        return false;
    if (!playback.device->open(rate))
        return false;
    playback.deviceOpen = true;
    return true;
}

void CloseWaveOutput() {
    // Never pull the device from under the thread.
    if (playback.ownsRing)
        StopPlayback(mixRing.currentSong);
    if (playback.deviceOpen) {
        playback.device->close();
        playback.deviceOpen = false;
    }
}

bool StartPlayback(Song* song) {
    StopPlayback(song);
    if (song == nullptr || !playback.deviceOpen)
        return false;
    SetFreeSongHook(StopPlaybackHook);
    if (!AllocateMixRing())
        return false;
    playback.ownsRing = true;

    // A fresh start: every voice silent, the replay at its first row.
    StartSong(song);
    do
        FillBlock();
    while (mixRing.fillBlock != 0);
    playback.songPasses.store(song->passes, std::memory_order_release);

    if (!playback.device->play(mixRing.pcmRing, RingBytes())) {
        StopPlayback(song);
        return false;
    }
    playback.devicePlaying = true;

    playback.playPosition = PlayPosition{};
    playback.nextBlock = mixRing.blockCount; // the ring holds blocks 0 to blockCount − 1
    playback.mixerBusy.store(false, std::memory_order_release);
    playback.stopRequested.store(false, std::memory_order_release);
    playback.threadFinished.store(false, std::memory_order_release);
    if (!playback.device->startThread(MixerThread)) {
        // Else the device would loop the same two seconds for ever.
        playback.threadFinished.store(true, std::memory_order_release);
        StopPlayback(song);
        return false;
    }
    playback.threadRunning = true;
    return true;
}

bool StopPlayback(Song* song) {
    if (!playback.ownsRing)
        return song != nullptr;
    playback.stopRequested.store(true, std::memory_order_release);
    while (playback.mixerBusy.load(std::memory_order_acquire)) {
        // A block takes well under a millisecond to mix.
    }
    if (playback.threadRunning) {
        while (!playback.threadFinished.load(std::memory_order_acquire))
            playback.device->sleep(kStopPollMs);
        playback.device->endThread();
        playback.threadRunning = false;
    }
    if (playback.devicePlaying) {
        playback.device->stop();
        playback.devicePlaying = false;
    }
    FreeMixRing();
    DetachSong();
    playback.songPasses.store(0, std::memory_order_release);
    playback.ownsRing = false;
    return song != nullptr;
}

int32_t MixerPass() {
    const RingGeometry ring = CurrentGeometry();
    // A failed reading is no movement.
    uint32_t bytes = playback.playPosition.lastBytes;
    ReadingBytes(playback.device->position(), ring.mixRate, bytes);
    const uint64_t played = AdvancePlayPosition(playback.playPosition, bytes, ring);
    const int64_t playing = PlayingBlock(ring, played);
    const int64_t next = CatchUpFill(playback.nextBlock, playing);
    if (next != playback.nextBlock) {
        playback.nextBlock = next;
        mixRing.fillBlock = static_cast<int32_t>(next % ring.blockCount);
    }
    // A queued song becomes the mixer's following song; the main thread has
    // written its bound before queueing it.
    if (mixRing.followingSong == nullptr && mixRing.currentSong != nullptr) {
        Song* queued = playback.queuedSong.exchange(nullptr, std::memory_order_acquire);
        if (queued != nullptr) {
            mixRing.handOverFrames = playback.queuedHandOverFrames;
            mixRing.followingSong = queued;
        }
    }
    int32_t filled = 0;
    while (FillDue(playback.nextBlock, playing, ring.blockCount) &&
           !playback.stopRequested.load(std::memory_order_acquire)) {
        playback.mixerBusy.store(true, std::memory_order_release);
        FillBlock();
        if (mixRing.currentSong != nullptr)
            playback.songPasses.store(mixRing.currentSong->passes, std::memory_order_release);
        if (mixRing.retiredSong != nullptr) {
            playback.retiredSong.store(mixRing.retiredSong, std::memory_order_release);
            mixRing.retiredSong = nullptr;
        }
        playback.mixerBusy.store(false, std::memory_order_release);
        ++playback.nextBlock;
        ++filled;
    }
    return filled;
}

void MixerThread() {
    while (!playback.stopRequested.load(std::memory_order_acquire)) {
        MixerPass();
        playback.device->sleep(kMixerSleepMs);
    }
    playback.threadFinished.store(true, std::memory_order_release);
}
