// How the program ends when it cannot go on.
#pragma once

// Tells the user why the program cannot go on and ends it. reason is one
// line, formatted by the caller, without the program's name. Every platform
// first stops the music and tears the scene's window down (ShutdownScene:
// whatever of them exists), then
// - Windows: shows reason + "\ny se cerrara la aplicacion " in a message box
//   captioned "Informacion" with an OK button, owned by hostWindow when that
//   is still a window, and exits with code 0;
// - the native saver, the host tools and the tests: writes one line
//   "<program>: <reason>" on standard error and exits with code 1.
// Each platform defines it once (shell/fatal_error_*.cpp).
[[noreturn]] void FatalError(const char* reason);
