// What the native saver needs to know of its ALSA sound device beyond the
// wave-device contract.
#pragma once

// ALSA's own words for why the device could not be opened or set up the
// last time; empty when it could.
const char* AlsaDeviceError();

// The PCM device the music plays on: ALSA's "default", through which
// PulseAudio and PipeWire play it too.
inline constexpr const char* kAlsaDeviceName = "default";
