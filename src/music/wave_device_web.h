// What the page needs of its Web Audio sound device beyond the wave-device
// contract.
#pragma once

#ifndef __EMSCRIPTEN__
#error "wave_device_web.h is the page's sound device; it is built by emscripten only"
#endif

#include <cstdint>

// Before the music starts: true makes the device play into no audio context
// at all; the page's clock pulls the sound instead (PullSound), as fast as
// the test that drives it wants. False (the default) plays through Web Audio
// in real time.
void SetSoundPulledByPage(bool pulled);

// Pulls the sound on until frames frames (at 44,100 a second) have been
// handed over since the playback started, through the same hand-over as the
// audio callback's (capture included). Does nothing unless pulled by the
// page and playing.
void PullSound(uint64_t frames);
