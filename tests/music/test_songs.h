// Fixed test songs built with the XM writer: the golden song, whose render
// is pinned by a hash on every platform, and a busy 32-channel song for the
// mixer benchmark. Sample data is made with integer arithmetic only, so the
// module bytes are the same everywhere.
#pragma once

#include "xm_test_writer.h"

// Four instruments (looped, ping-pong, one-shot, enveloped) over three
// patterns that use every effect and volume-column byte the replay knows.
// linear: the linear frequency table, else the Amiga one.
XmSong GoldenSong(bool linear = true);

// 32 channels, a note on every channel on every row, looped samples.
XmSong BusySong();

// A few hundred bytes: two patterns, a looped and an enveloped instrument,
// a handful of effects. The loader fuzz target's seed.
XmSong TinySong();

// A few hundred bytes that reach the tracker's rules: every E sub-command,
// the volume column, K, T, a pattern loop and a pattern delay, with pattern
// headers of 13 bytes and sample headers of 44. A loader fuzz seed.
XmSong RulesSeedSong();
