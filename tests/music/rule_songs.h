// One small module per playback rule of the format, for listening and for
// comparing our renders with outside players row by row (pitch and level).
// Each starts with a plain note at full volume on row 0, the level every
// other row is measured against, and plays once through.
#pragma once

#include <vector>

#include "xm_test_writer.h"

struct RuleSong {
    const char* name; // file name without .xm
    const char* rule; // what it shows, in a line
    XmSong song;
};

// Instruments of the rule songs, by number.
inline constexpr uint8_t kSineInstrument = 1;     // looped sine, no envelope
inline constexpr uint8_t kEnvelopeInstrument = 2; // looped sine, sustained envelope
inline constexpr uint8_t kDecayInstrument = 3;    // sine fading out over a second, no loop

// Notes of the rule songs (cell values).
inline constexpr uint8_t kC4 = 49, kD4 = 51, kE4 = 53, kF4 = 54, kG4 = 56, kA4 = 58, kB4 = 60,
                         kC5 = 61, kOff = 97;

std::vector<RuleSong> RuleSongs();
