// The end of a POSIX program that cannot go on (the native saver, the host
// tools, the tests): the music and the window go first, then one line on
// standard error named after the program, as its other messages are.
#include <errno.h> // program_invocation_short_name

#include <cstdio>
#include <cstdlib>

#include "core/fatal_error.h"
#include "scene/scene.h"

void FatalError(const char* reason) {
    ShutdownScene();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, reason);
    std::exit(1);
}
