// The song's synthesized instruments. Each is built from sine partials, filtered
// noise and envelopes, deterministically (a fixed seed per instrument), and comes
// back as a complete XM instrument: sample data, loop, tuning, envelopes and
// automatic vibrato.
//
// Tuning convention: cell note C-4 (49) sounds as middle C (261.63 Hz) on every
// pitched instrument; the drums play at their recorded rate on C-4.
#pragma once

#include "xm_writer.h"

namespace song {

// Instrument numbers as the pattern cells use them (1-based).
enum InstrumentNumber : uint8_t {
    kKick = 1,
    kSnare = 2,
    kHat = 3, // C-4 plays the closed hat, D-4 the open hat
    kCrash = 4,
    kTom = 5,
    kBass = 6,
    kPad = 7,
    kLead = 8,
    kPluck = 9,
    kBell = 10,
};

// All instruments in number order.
std::vector<xm::Instrument> MakeInstruments();

} // namespace song
