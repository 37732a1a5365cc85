#include "core/settings.h"

#include <cstring>

Settings settings;

void SetDefaultSettings(Settings& s) {
    const float frames = s.frames;
    s = Settings{};
    s.frames = frames;
}

void FramesToBytes(float frames, uint8_t out[4]) {
    uint32_t bits;
    std::memcpy(&bits, &frames, sizeof bits);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
}
