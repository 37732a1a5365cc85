// On Windows: the waveOut device says why it failed, in the system's words.
#include <gtest/gtest.h>

#include <string>

#include "music/wave_device.h"

namespace {

TEST(WaveDeviceWin32, SaysWhyItFailedInTheSystemsWords) {
    const WaveDevice& device = PlatformWaveDevice();
    EXPECT_FALSE(device.play(nullptr, 0)); // not open
    const std::string notOpen = device.lastError();
    EXPECT_EQ(notOpen.rfind("wave mapper: cannot play: ", 0), 0u) << notOpen;
    EXPECT_GT(notOpen.size(), sizeof "wave mapper: cannot play: ") << "no reason given";
    // No device plays at 0 frames per second.
    EXPECT_FALSE(device.open(0));
    const std::string refused = device.lastError();
    EXPECT_EQ(refused.rfind("wave mapper: cannot open it: ", 0), 0u) << refused;
    device.close(); // harmless when closed
}

} // namespace
