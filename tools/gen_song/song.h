// The screen saver's soundtrack, composed in code: "Dusk Walk", a calm-to-heroic
// piece in D minor at 96 BPM for ten channels, about 95 seconds, looping.
#pragma once

#include <string>

#include "xm_writer.h"

namespace song {

// Fills `module` with the complete song: instruments, patterns and order list.
// False, with a message, when the arrangement contradicts itself (two parts
// wanting one effect column, a malformed melody).
bool ComposeSong(xm::Module& module, std::string& error);

} // namespace song
