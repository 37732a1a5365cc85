// The off-screen platform's sound device (host tools and tests): the null
// device, so that their music needs no sound hardware.
#include "music/wave_device.h"

const WaveDevice& PlatformWaveDevice() {
    return NullWaveDevice();
}
