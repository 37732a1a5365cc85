#include "core/settings.h"

Settings settings;

void SetDefaultSettings(Settings& s) {
    const float frames = s.frames;
    s = Settings{};
    s.frames = frames;
}
