// The configuration dialog (resource 108), run modally by the shell.
#pragma once

#include "core/render_window.h"

// Runs the dialog owned by owner (none allowed); it saves the settings itself
// when the user presses OK.
void RunConfigDialog(WindowHandle owner);
