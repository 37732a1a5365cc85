// Decoding of the screen-saver switch from the whole command line.
#pragma once

#include <cstdint>

#include "core/saver_mode.h"

struct CommandLine {
    SaverMode mode = SaverMode::Configure;
    // The window number that followed the switch, as the low 32 bits of a
    // window handle; 0 means none.
    uint32_t hostWindow = 0;
    // True for a bare /c: the dialog is owned by the current foreground window,
    // which only the platform can tell.
    bool ownerIsForeground = false;
};

// Decodes the command line as the host passes it, program name first.
// Characters are bytes; only space counts as a blank. A null line decodes as
// an empty one.
CommandLine DecodeCommandLine(const char* line);

// Reads a window number the way atoi does (leading white space, an optional sign, then decimal
// digits up to the first non-digit, 0 when there are none), without
// overflow: a number whose magnitude does not fit in 32 bits names no window
// and gives 0. Negative numbers give their 32-bit two's complement, which is
// how sign-extended window handles are written in decimal.
uint32_t ParseWindowNumber(const char* text);
