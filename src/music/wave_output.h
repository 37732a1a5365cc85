// Playback control: the music's start and stop, the wave-output device and
// the mixer thread.
//
// StartMusic opens the device at 44,100 Hz, loads the song and starts the
// playback: the whole ring (mixer.h) is mixed once, the device plays it in an
// endless loop, and a mixer thread mixes every block again right after the
// device has played it, trailing the play position by one block, so the
// music reaches the speaker about one ring (2 s) after it was mixed.
//
// Life cycle: Closed -> OpenWaveOutput -> Open -> StartPlayback -> Playing
// (thread running) -> StopPlayback (also through FreeSong) -> Open ->
// CloseWaveOutput -> Closed. Everything here except MixerThread runs on the
// main thread. The two threads share only the atomics of Playback (its
// flags, the pass count and the hand-over's two songs); the mixer thread
// owns the replay, the voices and the ring while it runs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "music/song.h"
#include "music/wave_device.h"
#include "music/wave_ring.h"

// The rate the music plays at, in frames per second.
inline constexpr int32_t kMusicRate = 44100;
// The mixer thread's wake-up period and StopPlayback's look at the thread,
// in milliseconds.
inline constexpr int32_t kMixerSleepMs = 5;
inline constexpr int32_t kStopPollMs = 50;

struct Playback {
    // Set by the main thread, polled by the mixer thread.
    std::atomic<bool> stopRequested{false};
    // Set by the mixer thread while it fills a block.
    std::atomic<bool> mixerBusy{false};
    // Cleared when a thread is started, set by the thread as it ends.
    std::atomic<bool> threadFinished{true};

    // Main thread only.
    const WaveDevice* device = nullptr; // the back-end OpenWaveOutput uses
    bool deviceOpen = false;
    bool ownsRing = false;      // the mixer's ring and song are this playback's
    bool devicePlaying = false; // the device holds mixRing.pcmRing
    bool threadRunning = false; // a thread was started and not yet ended
    Song* musicSong = nullptr;  // the song StartMusic loaded

    // Mixer thread only while it runs: its reading of the device, across the
    // device's 32-bit wrap, and the block it mixes next, counted like the
    // device's blocks since the start (wave_ring.h).
    PlayPosition playPosition;
    int64_t nextBlock = 0;

    // Set by whoever mixes (the mixer thread while it runs): the song's
    // passes after the last block mixed.
    std::atomic<int32_t> songPasses{0};

    // The hand-over to a queued song (mixer.h). The main thread loads the
    // song, writes its bound and then sets queuedSong; the mixer thread takes
    // it as its following song, and once that has taken over it sets
    // retiredSong, which the main thread takes and frees.
    std::atomic<Song*> queuedSong{nullptr};
    int64_t queuedHandOverFrames = 0; // written before queuedSong, read after it
    std::atomic<Song*> retiredSong{nullptr};
    // Main thread only: the song queued last, until it is seen to play.
    Song* followingSong = nullptr;
};

extern Playback playback;

// Starts the music of resource id (type "VOXARESOURCE") on the platform's
// device; StartMusicOn takes the device. Installs the music file table, opens
// the device at kMusicRate, loads the song and starts its playback. Prints
// "Error upon initialization" when the device cannot be opened and "Error
// loading song" when the song cannot be loaded, each as one line on standard
// output; the caller goes on without music. Music already started is
// stopped first.
void StartMusic(int id);
void StartMusicOn(const WaveDevice& device, int id);

// What a start of the music from a module in memory came to.
enum class MusicStart { Playing, NoDevice, NoSong };
// Starts the music of a module held in memory (a file the user chose) on
// device, as StartMusicOn starts the resource; the bytes are not kept. A
// device that cannot be opened is reported as StartMusicOn reports it. A
// module that cannot be loaded is not: the answer is NoSong, with why in
// error (a MOD, S3M or IT file is named so), the device stays open, and the
// caller may say so in its own words and start another module or the
// embedded song.
MusicStart StartMusicFromBytesOn(const WaveDevice& device, const uint8_t* bytes, size_t size,
                                 SongLoadError* error = nullptr);

// Queues a module held in memory (a file the user chose) to follow the
// playing music without a gap: the mixer thread hands over to it once the
// playing song has come back to a row it had played, or has played
// limitSeconds from its start (mixer.h). The module is loaded here, on the
// calling thread; the bytes are not kept. False when it cannot be loaded
// (why in error), and, with error kNone, when no music plays or a queued
// song has not yet taken over (MusicHandedOver).
bool QueueMusicFromBytes(const uint8_t* bytes, size_t size, int32_t limitSeconds,
                         SongLoadError* error = nullptr);
// True once, after the queued song has taken over: the song it followed is
// freed here, and the queued one is now the music that StopMusic ends.
// False otherwise. Main thread.
bool MusicHandedOver();

// Times the playing song has come back to a row it had played (once-through
// passes, pattern loops and delays included); 0 without music. For playing a
// module once through from the main thread.
int32_t MusicPasses();

// The music start's two failures: no device, or no song.
enum class MusicFailure { NoDevice, NoSong };
// Tells of a failure of the music start. The default prints the two lines
// above on standard output; the native saver says it in its own words on
// standard error instead.
using MusicFailureReport = void (*)(MusicFailure failure);
// Installs the report; null puts the default back.
void SetMusicFailureReport(MusicFailureReport report);

// Stops the playback, frees the song and any queued one, and closes the
// device. Harmless when the music never started.
void StopMusic();

// The back-end the next OpenWaveOutput uses.
void SetWaveDevice(const WaveDevice& device);

// Opens the device at rate frames per second, closing any earlier one, and
// sets the mixer's geometry (silencing every voice). False when the music
// file table is incomplete, there is no device, the rate is out of range or
// the device refuses.
bool OpenWaveOutput(int32_t rate);
// Stops any playback and closes the device.
void CloseWaveOutput();

// Ends any playback, then plays song from its start: silences every voice,
// resets the replay, mixes the whole ring, has the device loop it and starts
// the mixer thread. False for none, without an open device, or when the
// ring cannot be allocated, the device refuses it or no thread can be made;
// then nothing is left playing, nothing is held, and the song is no longer
// the mixer's.
bool StartPlayback(Song* song);
// Asks the mixer thread to stop and waits for it (while it finishes a block,
// then every kStopPollMs until it has ended), stops the device, frees the
// ring and detaches the song. Leaves the mixer alone when no playback of
// StartPlayback holds it. True, or false for none (the playback stops all
// the same).
bool StopPlayback(Song* song);

// One look of the mixer thread: reads the device's position and mixes the
// blocks due (FillDue, after CatchUpFill), stopping early when a stop is
// requested. Returns the blocks mixed.
int32_t MixerPass();
// The mixer thread's body: a pass every kMixerSleepMs until a stop is
// requested, then it marks itself finished.
void MixerThread();
