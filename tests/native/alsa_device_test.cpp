// The ALSA wave device against ALSA's file plugin over its null device: the
// plugin writes every byte handed to ALSA into a file, and the null device
// takes them as fast as they come.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
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
        // At most half the ring at once; the first look also counts what
        // play handed over.
        ASSERT_LE(now - position, position == 0 ? ring.size() : ring.size() / 2);
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

std::atomic<int> policySeen{-1};

void RecordPolicy() {
    int policy = -1;
    sched_param param = {};
    pthread_getschedparam(pthread_self(), &policy, &param);
    policySeen.store(policy);
}

void* Idle(void*) {
    return nullptr;
}

// Whether this process may make a thread of the lowest real-time priority.
bool RealTimeAllowed() {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setinheritsched(&attributes, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&attributes, SCHED_RR);
    sched_param param = {};
    param.sched_priority = sched_get_priority_min(SCHED_RR);
    pthread_attr_setschedparam(&attributes, &param);
    pthread_t probe;
    const bool allowed = pthread_create(&probe, &attributes, Idle, nullptr) == 0;
    pthread_attr_destroy(&attributes);
    if (allowed)
        pthread_join(probe, nullptr);
    return allowed;
}

TEST_F(AlsaDeviceTest, TheMixerThreadRunsAtRealTimePriorityWhereAllowedAndAnywayElsewhere) {
    const bool allowed = RealTimeAllowed();
    ASSERT_TRUE(PlatformWaveDevice().startThread(RecordPolicy));
    PlatformWaveDevice().endThread();
    EXPECT_EQ(policySeen.load(), allowed ? SCHED_RR : SCHED_OTHER) << "allowed: " << allowed;

    // Without the right to it (no real-time limit, no root): the thread is
    // made all the same and runs at the ordinary priority.
    const pid_t child = fork();
    if (child == 0) {
        const rlimit none = {0, 0};
        setrlimit(RLIMIT_RTPRIO, &none);
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(3);
        policySeen.store(-1);
        if (!PlatformWaveDevice().startThread(RecordPolicy))
            _exit(4);
        PlatformWaveDevice().endThread();
        _exit(policySeen.load() == SCHED_OTHER ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
