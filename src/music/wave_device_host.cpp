// The host has no sound back-end yet: its music plays into the null device.
#include "music/wave_device.h"

const WaveDevice& PlatformWaveDevice() {
    return NullWaveDevice();
}
