// Replay engine: plays a Song tick by tick. A row starts every `speed` ticks;
// on each tick every channel's note, instrument, volume-column byte and effect
// act on its channel state (channel.h), which then updates its voice.
//
// ReplayTick is the song's tickHandler: the mixer calls it whenever a tick's
// worth of output has been mixed (FillBlock, mixer.h). It runs on the mixer's
// thread and allocates nothing.
#pragma once

#include <cstdint>

#include "music/song.h"

// One tick: the row's first tick or one of the others, then the clock.
void ReplayTick(Song* song);
// The first tick of a row.
void ProcessRow(Song* song);
// Every other tick of a row.
void ProcessTick(Song* song);
// Sets the tempo in beats per minute and the tick length in output samples
// at the mixer's rate (⌊110,250 / bpm⌋ at 44,100 Hz). Tempos outside 32..999
// are taken as the nearest of them.
void SetBpm(Song* song, int32_t bpm);
// Puts the song at order 0, row 0, tick 0 with its default speed, tempo and
// global volume, and clears the channel table (channel i drives voice i).
void ResetReplay(Song* song);
