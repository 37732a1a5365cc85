// The ALSA wave device over a stand-in for libasound whose stream can be made
// to fail as real ones do: an underrun, a suspended device, a sound server
// that goes away and comes back. This program links the device with the
// stand-in below instead of libasound.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <string>
#include <thread>

#include "music/wave_device.h"

// --- the stand-in ----------------------------------------------------------

struct _snd_pcm {
    bool dead = false; // its server went away: it prepares, but never plays again
};

namespace {

struct FakeAlsa {
    int opens = 0;
    int refuseOpens = 0;          // the next opens fail (no server to connect to)
    std::deque<long> writeErrors; // what the next writes fail with
    bool suspended = false;
    int resumesAgain = 0; // resumes that answer -EAGAIN before the device is back
    bool serverGone = false;
    snd_pcm_t* handle = nullptr;
};
FakeAlsa fake;

} // namespace

extern "C" {

int snd_lib_error_set_handler(snd_lib_error_handler_t) {
    return 0;
}

const char* snd_strerror(int error) {
    return strerror(-error);
}

int snd_pcm_open(snd_pcm_t** pcm, const char*, snd_pcm_stream_t, int) {
    ++fake.opens;
    if (fake.refuseOpens > 0) {
        --fake.refuseOpens;
        return -ECONNREFUSED;
    }
    fake.handle = new _snd_pcm();
    *pcm = fake.handle;
    return 0;
}

int snd_pcm_set_params(snd_pcm_t*, snd_pcm_format_t, snd_pcm_access_t, unsigned, unsigned, int,
                       unsigned) {
    return 0;
}

int snd_pcm_close(snd_pcm_t* pcm) {
    if (fake.handle == pcm)
        fake.handle = nullptr;
    delete pcm;
    return 0;
}

int snd_pcm_drop(snd_pcm_t*) {
    return 0;
}

int snd_pcm_prepare(snd_pcm_t* pcm) {
    if (fake.suspended)
        return -EBUSY;
    if (fake.serverGone && !pcm->dead)
        return -EIO;
    return 0;
}

int snd_pcm_resume(snd_pcm_t*) {
    if (!fake.suspended)
        return -EBADFD;
    if (fake.resumesAgain > 0) {
        --fake.resumesAgain;
        return -EAGAIN;
    }
    fake.suspended = false;
    return 0;
}

snd_pcm_state_t snd_pcm_state(snd_pcm_t*) {
    return fake.suspended ? SND_PCM_STATE_SUSPENDED : SND_PCM_STATE_RUNNING;
}

snd_pcm_sframes_t snd_pcm_avail_update(snd_pcm_t*) {
    return 441; // 10 ms of room at every look
}

snd_pcm_sframes_t snd_pcm_writei(snd_pcm_t* pcm, const void*, snd_pcm_uframes_t size) {
    if (!fake.writeErrors.empty()) {
        const long error = fake.writeErrors.front();
        fake.writeErrors.pop_front();
        return error;
    }
    if (fake.suspended)
        return -ESTRPIPE;
    if (pcm->dead || fake.serverGone)
        return -EIO;
    return static_cast<snd_pcm_sframes_t>(size);
}

} // extern "C"

// --- the tests ---------------------------------------------------------------

namespace {

class AlsaRecoveryTest : public testing::Test {
  protected:
    void SetUp() override {
        fake = FakeAlsa{};
        ring_.assign(88400 * 4, 0);
        ASSERT_TRUE(device().open(44100));
        ASSERT_TRUE(device().play(ring_.data(), static_cast<uint32_t>(ring_.size())));
    }
    void TearDown() override { device().close(); }
    static const WaveDevice& device() { return PlatformWaveDevice(); }
    static uint32_t Position() { return device().position().count; }
    // Looks at the position every millisecond until it has moved on from
    // where it is, for up to three seconds; true when it has.
    static bool MovesAgain() {
        const uint32_t from = Position();
        for (int i = 0; i < 3000; ++i) {
            if (Position() != from)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    // The position stays where it is for a while (100 looks over 100 ms).
    static bool Holds() {
        const uint32_t from = Position();
        for (int i = 0; i < 100; ++i) {
            if (Position() != from)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    static int Lines(const std::string& text) {
        int lines = 0;
        for (char c : text)
            lines += c == '\n';
        return lines;
    }

    std::vector<uint8_t> ring_;
};

TEST_F(AlsaRecoveryTest, AnUnderrunIsRecoveredFromAtOnceWithoutAWord) {
    testing::internal::CaptureStderr();
    const uint32_t before = Position();
    fake.writeErrors = {-EPIPE};
    EXPECT_EQ(Position(), before + 441 * 4); // started again and handed over in the same look
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(AlsaRecoveryTest, ASuspendedDeviceIsResumedOnALaterPassWithOneLine) {
    testing::internal::CaptureStderr();
    fake.suspended = true;
    fake.resumesAgain = 2; // it takes three tries
    EXPECT_TRUE(Holds()) << "the music waits while the device is suspended";
    EXPECT_TRUE(MovesAgain()) << "the music goes on once the device is back";
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(said), 1) << said;
    EXPECT_NE(said.find("suspended"), std::string::npos) << said;
}

TEST_F(AlsaRecoveryTest, AFailingPrepareIsTriedAgainAndTheDeviceOpenedAnew) {
    testing::internal::CaptureStderr();
    fake.serverGone = true; // writes fail, and so does every prepare
    fake.refuseOpens = 3;   // and three opens while it stays away
    const uint32_t held = Position();
    for (int i = 0; i < 3000 && fake.opens < 1 + 3; ++i) {
        ASSERT_EQ(Position(), held) << "the music waits";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(fake.opens, 1 + 3) << "later passes open the device anew";
    fake.serverGone = false;
    EXPECT_TRUE(MovesAgain()) << "the music goes on when the server is back";
    EXPECT_EQ(fake.opens, 1 + 3 + 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(said), 1) << said;
}

TEST_F(AlsaRecoveryTest, AStreamThatPreparesButNeverPlaysIsReplaced) {
    testing::internal::CaptureStderr();
    fake.handle->dead = true; // its server went away; a new one is there
    EXPECT_TRUE(MovesAgain());
    EXPECT_EQ(fake.opens, 2);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(said), 1) << said;
    // A later stop is told of again.
    testing::internal::CaptureStderr();
    fake.suspended = true;
    fake.resumesAgain = 1;
    EXPECT_TRUE(MovesAgain());
    EXPECT_EQ(Lines(testing::internal::GetCapturedStderr()), 1);
}

} // namespace
