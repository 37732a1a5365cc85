// Mixer benchmark: render speed as seconds of audio per second of processor
// time, for the bare inner loop (32 looping voices), for a busy 32-channel
// song through FillBlock (replay, mixing and conversion), and for any XM
// files named on the command line.
// Usage: bench_mixer [--seconds N] [FILE.xm ...]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "common/file_bytes.h"
#include "music/mixer.h"
#include "music/song_source.h"
#include "test_songs.h"

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Report(const std::string& name, double audioSeconds, double cpuSeconds) {
    std::printf("%-40s %7.1f s of audio in %6.3f s CPU: %8.1f x real time\n", name.c_str(),
                audioSeconds, cpuSeconds, audioSeconds / cpuSeconds);
}

bool Discard(const int16_t*, int32_t, void*) {
    return true;
}

// The inner loop alone: 32 voices on a looped sample, fixed gains.
void BenchVoices(double seconds) {
    std::vector<int16_t> data(4000 + 8);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
    Sample sample{};
    sample.data = data.data();
    sample.length = 4000;
    sample.loopStart = 1000;
    sample.loopLength = 3000;
    sample.loopMode = kLoopForward;
    SilenceVoices();
    for (int i = 0; i < kVoiceCount; ++i) {
        Voice& v = voices[i];
        v.sample = &sample;
        v.direction = kForward;
        v.step = (uint64_t{1} << 32) / 3 * (i % 5 + 1) + static_cast<uint64_t>(i) * 7919;
        v.leftVolume = v.currentLeft = v.lastLeftTarget = static_cast<uint8_t>(20 + i);
        v.rightVolume = v.currentRight = v.lastRightTarget = static_cast<uint8_t>(60 - i);
    }
    const int64_t frames = static_cast<int64_t>(seconds * mixRing.mixRate);
    std::vector<float> block(2 * static_cast<size_t>(mixRing.blockSamples));
    const double start = CpuSeconds();
    for (int64_t done = 0; done < frames; done += mixRing.blockSamples)
        MixVoices(block.data(), mixRing.blockSamples);
    Report("MixVoices, 32 looping voices", seconds, CpuSeconds() - start);
    SilenceVoices();
}

void BenchSong(const std::string& name, const std::vector<uint8_t>& bytes, double seconds) {
    SongLoadError error = SongLoadError::kNone;
    Song* song = LoadSongFromMemory(bytes.data(), bytes.size(), &error);
    if (song == nullptr) {
        std::printf("%-40s not loaded: %s\n", name.c_str(), SongLoadErrorText(error));
        return;
    }
    const double start = CpuSeconds();
    RenderSong(song, static_cast<int64_t>(seconds * mixRing.mixRate), Discard, nullptr);
    Report(name, seconds, CpuSeconds() - start);
    FreeSong(song);
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 120;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: bench_mixer [--seconds N] [FILE.xm ...]\n");
            return 0;
        } else
            files.push_back(argv[i]);
    }
    if (seconds <= 0 || !SetMixRate(44100) || !AllocateMixRing()) {
        std::fprintf(stderr, "bench_mixer: cannot set up the mixer\n");
        return 1;
    }
    std::printf("44,100 Hz stereo, %.0f s of audio per case\n", seconds);
    BenchVoices(seconds);
    BenchSong("busy 32-channel song", WriteXm(BusySong()), seconds);
    BenchSong("golden test song (8 channels)", WriteXm(GoldenSong()), seconds);
    for (const char* path : files) {
        std::vector<uint8_t> bytes;
        const char* slash = std::strrchr(path, '/');
        const std::string name = slash != nullptr ? slash + 1 : path;
        if (!common::ReadWholeFile(path, bytes))
            std::printf("%-40s cannot read\n", name.c_str());
        else
            BenchSong(name, bytes, seconds);
    }
    FreeMixRing();
    return 0;
}
