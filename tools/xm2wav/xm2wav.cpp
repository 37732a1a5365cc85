// xm2wav: renders an XM module to a WAV file through the screen saver's own
// loader, replay and mixer, filling the output ring block by block exactly
// as the saver's mixer thread does.
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/file_bytes.h"
#include "common/little_endian.h"
#include "music/mixer.h"
#include "music/song_source.h"

namespace {

constexpr double kDefaultLimitSeconds = 20 * 60;

// The most frames a 16-bit stereo WAV file can hold: its RIFF and data sizes
// are unsigned 32-bit byte counts, and the RIFF size counts 36 header bytes
// besides the data.
constexpr int64_t kMaxWavFrames = (int64_t{UINT32_MAX} - 36) / 4;

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "Usage: xm2wav IN.xm OUT.wav [--seconds N] [--rate HZ]\n"
                 "\n"
                 "Renders an XM module to a 16-bit stereo WAV file with the screen saver's\n"
                 "music engine.\n"
                 "\n"
                 "  --seconds N  render N seconds (the song repeats as long as needed), up\n"
                 "               to what a WAV file holds (24347 s at 44100 Hz); without\n"
                 "               it the song is rendered once through, until it comes\n"
                 "               back to a row it has played (at most 20 minutes)\n"
                 "  --rate HZ    output rate, %d to %d (default 44100)\n"
                 "  --help       show this text\n"
                 "\n"
                 "A render of more than 10 s shows its progress when standard error is a\n"
                 "terminal. A MOD, S3M or IT module is refused, saying which it is.\n",
                 kMinMixRate, kMaxMixRate);
}

// The 44-byte header of a 16-bit stereo PCM WAV file of the given frames.
std::vector<uint8_t> WavHeader(int32_t rate, uint64_t frames) {
    const uint32_t dataBytes = static_cast<uint32_t>(frames * 4);
    std::vector<uint8_t> h;
    const auto tag = [&h](const char* text) { h.insert(h.end(), text, text + 4); };
    tag("RIFF");
    common::PutLe32(h, 36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    common::PutLe32(h, 16);
    common::PutLe16(h, 1); // PCM
    common::PutLe16(h, 2); // stereo
    common::PutLe32(h, static_cast<uint32_t>(rate));
    common::PutLe32(h, static_cast<uint32_t>(rate) * 4);
    common::PutLe16(h, 4);
    common::PutLe16(h, 16);
    tag("data");
    common::PutLe32(h, dataBytes);
    return h;
}

struct Output {
    FILE* file;
    int32_t rate;
    int64_t total;   // frames asked for
    int64_t written; // frames written
    bool untilEnd;   // stop when the song comes back
    bool progress;   // a terminal watches standard error
    // When the progress line is next due (none shown yet: the zero time).
    std::chrono::steady_clock::time_point nextReport;
    bool reported; // a progress line is on the terminal
    bool failed;
    const int16_t* held; // frames handed over and not yet written, in the ring
    int32_t heldCount;
};

// WAV samples are little-endian, as every machine this builds for: the
// frames are written straight from the ring, adjacent blocks together in one
// write.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "WAV samples are written as they are");

// Writes the frames held back, if any.
bool WriteHeld(Output& out) {
    if (out.heldCount > 0 && std::fwrite(out.held, 4, static_cast<size_t>(out.heldCount),
                                         out.file) != static_cast<size_t>(out.heldCount))
        out.failed = true;
    out.heldCount = 0;
    return !out.failed;
}

// A render of more than this much audio shows its progress on a terminal.
constexpr double kProgressAfterSeconds = 10;
// Progress lines come at most this often.
constexpr auto kReportInterval = std::chrono::milliseconds(250);

// Shows how far the render has come on one line of standard error, at most
// every kReportInterval (the final line, `last`, always), once it is clear
// that the render covers more than kProgressAfterSeconds of audio.
void Report(Output& out, bool last) {
    if (!out.progress)
        return;
    const double seconds = static_cast<double>(out.written) / out.rate;
    const double total = static_cast<double>(out.total) / out.rate;
    if (!out.reported && (out.untilEnd ? seconds : total) <= kProgressAfterSeconds)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now < out.nextReport)
        return;
    out.nextReport = now + kReportInterval;
    out.reported = true;
    const Song& song = *mixRing.currentSong;
    if (out.untilEnd)
        std::fprintf(stderr, "\rxm2wav: %.1f s rendered, order %d of %d   ", seconds,
                     song.orderPosition + 1, song.songLength);
    else
        std::fprintf(stderr, "\rxm2wav: %.1f of %.1f s rendered (%.0f%%)   ", seconds, total,
                     100 * seconds / total);
    if (last)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool WriteBlock(const int16_t* frames, int32_t count, void* user) {
    Output& out = *static_cast<Output*>(user);
    // A block that does not follow the held ones ends them; so does the
    // ring's last block, since the next fill overwrites the first.
    if (out.heldCount > 0 && frames != out.held + 2 * out.heldCount && !WriteHeld(out))
        return false;
    if (out.heldCount == 0)
        out.held = frames;
    out.heldCount += count;
    if (frames >= BlockPcm(mixRing.blockCount - 1) && !WriteHeld(out))
        return false;
    out.written += count;
    Report(out, false);
    // Once through: until the song comes back to a row it has played (the
    // replay counts the passes, pattern loops and delays included).
    return !(out.untilEnd && mixRing.currentSong->passes > 0);
}

bool ParseNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const char*> files;
    double seconds = -1;
    double rate = 44100;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (arg == "--seconds" || arg == "--rate") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "xm2wav: %s needs a value\n", arg.c_str());
                return 2;
            }
            const char* value = argv[++i];
            const bool ok = arg == "--seconds" ? ParseNumber(value, 0, 24 * 3600, seconds)
                                               : ParseNumber(value, kMinMixRate, kMaxMixRate, rate);
            if (!ok) {
                std::fprintf(stderr, "xm2wav: bad value for %s: %s\n", arg.c_str(), value);
                return 2;
            }
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "xm2wav: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
        files.push_back(argv[i]);
    }
    if (files.size() != 2) {
        PrintUsage(stderr);
        return 2;
    }
    const char* inPath = files[0];
    const char* outPath = files[1];
    // Refused before anything is read or written: the header's sizes would wrap.
    const int32_t mixRate = static_cast<int32_t>(rate);
    const double length = seconds < 0 ? kDefaultLimitSeconds : seconds;
    const int64_t total = static_cast<int64_t>(length * mixRate);
    if (total > kMaxWavFrames) {
        std::fprintf(stderr,
                     "xm2wav: %g s at %d Hz is too long for a WAV file (at most %.0f s at "
                     "that rate)\n",
                     length, mixRate, std::floor(static_cast<double>(kMaxWavFrames) / mixRate));
        return 2;
    }

    std::vector<uint8_t> bytes;
    if (!common::ReadWholeFile(inPath, bytes)) {
        std::fprintf(stderr, "xm2wav: cannot read %s: %s\n", inPath, std::strerror(errno));
        return 1;
    }
    SongLoadError error = SongLoadError::kNone;
    Song* song = LoadSongFromMemory(bytes.data(), bytes.size(), &error);
    if (song == nullptr) {
        std::fprintf(stderr, "xm2wav: %s: %s\n", inPath, SongLoadErrorText(error));
        return 1;
    }
    if (!SetMixRate(mixRate) || !AllocateMixRing()) {
        std::fprintf(stderr, "xm2wav: cannot set up the mixer (out of memory)\n");
        FreeSong(song);
        return 1;
    }

    FILE* file = std::fopen(outPath, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "xm2wav: cannot write %s: %s\n", outPath, std::strerror(errno));
        FreeSong(song);
        FreeMixRing();
        return 1;
    }
    // Frames are written from the ring in large runs already: a copy into a
    // stream buffer would only cost time.
    std::setvbuf(file, nullptr, _IONBF, 0);
    Output out{};
    out.file = file;
    out.rate = mixRing.mixRate;
    out.untilEnd = seconds < 0;
    out.total = total;
    out.progress = isatty(fileno(stderr));
    std::vector<uint8_t> header = WavHeader(out.rate, 0);
    out.failed = std::fwrite(header.data(), 1, header.size(), file) != header.size();
    if (!out.failed) {
        RenderSong(song, out.total, WriteBlock, &out);
        WriteHeld(out);
        if (out.reported)
            Report(out, true);
    }
    if (!out.failed) {
        header = WavHeader(out.rate, static_cast<uint64_t>(out.written));
        out.failed = std::fseek(file, 0, SEEK_SET) != 0 ||
                     std::fwrite(header.data(), 1, header.size(), file) != header.size();
    }
    if (std::fclose(file) != 0)
        out.failed = true;
    FreeSong(song);
    FreeMixRing();
    if (out.failed) {
        std::fprintf(stderr, "xm2wav: error writing %s\n", outPath);
        return 1;
    }
    std::printf("%s: %.2f s, %d Hz, 16-bit stereo\n", outPath,
                static_cast<double>(out.written) / out.rate, out.rate);
    return 0;
}
