// The ALSA wave device against ALSA's file plugin over its null device: the
// plugin writes every byte handed to ALSA into a file, and the null device
// takes them as fast as they come.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "music/wave_device.h"

namespace {

class AlsaDeviceTest : public testing::Test {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/tazro-alsa-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
        capture_ = folder_ + "/capture.raw";
    }
    void TearDown() override {
        PlatformWaveDevice().close();
        std::remove(capture_.c_str());
        std::remove((folder_ + "/asound.conf").c_str());
        rmdir(folder_.c_str());
        unsetenv("ALSA_CONFIG_PATH");
    }
    // ALSA's whole configuration: just the default device given.
    void UseConfig(const std::string& text) {
        const std::string path = folder_ + "/asound.conf";
        std::ofstream(path) << text;
        setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
    }
    void UseCaptureDevice() {
        UseConfig("pcm.!default { type file; slave.pcm { type null }; file \"" + capture_ +
                  "\"; format \"raw\" }\n");
    }
    std::vector<uint8_t> Captured() {
        std::ifstream in(capture_, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    std::string folder_;
    std::string capture_;
};

// A ring of frames whose bytes say where they are and which round wrote them.
void FillRing(std::vector<uint8_t>& ring, size_t from, size_t to, uint8_t round) {
    for (size_t i = from; i < to; ++i)
        ring[i] = static_cast<uint8_t>((i / 4 * 7 + i % 4) ^ round);
}

TEST_F(AlsaDeviceTest, PlaysTheRingInALoopTakingWhatWasWrittenSinceTheLastRound) {
    UseCaptureDevice();
    const WaveDevice& device = PlatformWaveDevice();
    ASSERT_TRUE(device.open(44100)) << device.lastError();
    EXPECT_STREQ(device.lastError(), "");
    std::vector<uint8_t> ring(44100 * 4); // a second
    FillRing(ring, 0, ring.size(), 0);
    ASSERT_TRUE(device.play(ring.data(), static_cast<uint32_t>(ring.size())));

    // Like the mixer: after every look at the position, the bytes handed
    // over are written again, for the next round of the loop.
    std::vector<uint8_t> expected;
    uint32_t position = 0;
    while (position < 3 * ring.size()) {
        const WaveReading reading = device.position();
        ASSERT_EQ(reading.unit, WaveUnit::Bytes);
        const uint32_t now = reading.count;
        ASSERT_GE(now, position);
        ASSERT_LE(now - position, ring.size() / 2) << "at most half the ring at once";
        for (uint32_t b = position; b < now; ++b) {
            expected.push_back(ring[b % ring.size()]);
            ring[b % ring.size()] =
                static_cast<uint8_t>(ring[b % ring.size()] ^ (b / ring.size() + 1));
        }
        position = now;
        device.sleep(1);
    }
    device.stop();
    device.close();
    const std::vector<uint8_t> captured = Captured();
    ASSERT_GE(captured.size(), expected.size() - 65536)
        << "the plugin may hold back its last bytes";
    ASSERT_LE(captured.size(), expected.size());
    EXPECT_TRUE(std::equal(captured.begin(), captured.end(), expected.begin()));
}

TEST_F(AlsaDeviceTest, NoDeviceSaysWhyWithoutPrintingAnything) {
    UseConfig("pcm.other { type null }\n"); // no default device at all
    testing::internal::CaptureStderr();
    EXPECT_FALSE(PlatformWaveDevice().open(44100));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // One line that names the device and says what failed.
    const std::string error = PlatformWaveDevice().lastError();
    EXPECT_EQ(error.rfind("ALSA device \"default\": cannot open it: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    PlatformWaveDevice().stop(); // harmless when closed
    PlatformWaveDevice().close();
    EXPECT_FALSE(PlatformWaveDevice().play(nullptr, 0));
    EXPECT_STRNE(PlatformWaveDevice().lastError(), "");
}

std::atomic<bool> stopSignalBlocked{false};

void CheckSignals() {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    stopSignalBlocked.store(sigismember(&mask, SIGTERM) == 1 && sigismember(&mask, SIGINT) == 1);
}

TEST_F(AlsaDeviceTest, TheMixerThreadTakesNoSignals) {
    ASSERT_TRUE(PlatformWaveDevice().startThread(CheckSignals));
    PlatformWaveDevice().endThread(); // joins it
    EXPECT_TRUE(stopSignalBlocked.load());
}

} // namespace
