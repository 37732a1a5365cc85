// Frame-rate figures derived from the frame timer each frame.
#pragma once

struct FrameRate {
    float instantFps = 30.0f; // 1 / delta of the last frame
    float averageFps = 30.0f; // smoothed: (average + instant) / 2 every frame
};

// Updates both figures from a timer delta in seconds. A delta that is not a
// positive finite number (two readings in the same millisecond) leaves both
// figures as they were, so neither can become infinite or NaN.
void UpdateFrameRate(FrameRate& rate, double delta);
