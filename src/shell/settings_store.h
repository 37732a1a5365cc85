// Reading and writing the settings in the platform's store (the registry on
// Windows). Every failure is silent: the record keeps what it had.
#pragma once

#include "shell/settings.h"

// Reads the stored values over s (defaults stay where nothing is stored).
void LoadSettings(Settings& s);
// Writes every field except frames.
void SaveSettings(const Settings& s);
// Writes frames alone, at the end of a full-screen run.
void StoreFrames(float frames);
