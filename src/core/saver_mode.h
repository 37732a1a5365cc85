// What the screen-saver host asked the program to do.
#pragma once

enum class SaverMode : int {
    Configure = 1,      // c, no switch, or an unrecognised one: the settings dialog
    ChangePassword = 2, // a: the system's password dialog
    Preview = 3,        // p or l: render inside the host's preview window, music off
    FullScreen = 4,     // s: render full screen until input ends it
};
