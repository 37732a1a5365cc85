// The host tools and tests have no sound device: their music plays into the
// null device.
#include "music/wave_device.h"

const WaveDevice& PlatformWaveDevice() {
    return NullWaveDevice();
}
