// The page's end when it cannot go on: the music and the window go first,
// then the reason in Spanish over the canvas, as the Windows box words it,
// and on the console as an error. A page does not exit: the frames stop and
// the program returns to the browser's event loop, leaving the message up.
#include <emscripten.h>
#include <emscripten/eventloop.h>

#include <cstdio>

#include "core/fatal_error.h"
#include "scene/scene.h"

namespace {

// clang-format off
EM_JS(void, ShowFatalMessage, (const char* text), {
    Module.page.fatal(UTF8ToString(text));
});
// clang-format on

} // namespace

void FatalError(const char* reason) {
    emscripten_cancel_main_loop();
    ShutdownScene();
    char text[512];
    std::snprintf(text, sizeof text, "%s\ny se cerrara la aplicacion ", reason);
    ShowFatalMessage(text);
    // Leaves every caller's frame behind, as an exit would, but keeps the
    // page (and its message) alive: emscripten takes this unwind quietly.
    emscripten_unwind_to_js_event_loop();
}
