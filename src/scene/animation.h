// The keyframe clock: ten keyframe steps per second on the system tick count,
// and the fraction of the current interval that has passed, for blending.
//
// Time is kept as a 64-bit count of milliseconds, so the interval stays exact
// and the clock never wraps however long the system has been up. At most one
// step is taken per frame: frames slower than ten per second step every frame
// and the animation slows with them.
#pragma once

#include <cstdint>

// A step is due once more than this many milliseconds have passed.
inline constexpr uint64_t kKeyframeIntervalMs = 100;

struct KeyframeClock {
    uint64_t lastStepTime = 0;  // milliseconds, tick count of the last step
    bool started = false;       // false until the first step
    float blendFraction = 0.0f; // part of the interval elapsed, 0 to 1
};

// The clock part of a frame at tick count nowMs: sets blendFraction to the
// elapsed part of the interval and returns true when a keyframe step is due
// (the first frame always; then once more than 100 ms have passed, or when the
// tick count went backwards). The caller then runs its step and MarkKeyframeStep.
bool KeyframeStepDue(KeyframeClock& clock, uint64_t nowMs);

// Records a step at nowMs: blendFraction 0, the interval starts again.
void MarkKeyframeStep(KeyframeClock& clock, uint64_t nowMs);

// The keyframe rings of the three animated parts, as mesh indices.
inline constexpr int32_t kFirstBodyKeyframe = 1; // 1, 3, ..., 31
inline constexpr int32_t kLastBodyKeyframe = 31;
inline constexpr int32_t kFirstHeadKeyframe = 2; // 2, 4, ..., 32
inline constexpr int32_t kLastHeadKeyframe = 32;
inline constexpr int32_t kFirstSwordKeyframe = 33; // 33, 34, ..., 48
inline constexpr int32_t kLastSwordKeyframe = 48;

// Advances each part to its next keyframe, wrapping at the end of its ring:
// body +2 (after 31 comes 1), head +2 (after 32 comes 2), sword +1 (after 48
// comes 33). An index that is not on its ring goes to the ring's first keyframe.
void AdvanceKeyframeIndices(int32_t& bodyIndex, int32_t& headIndex, int32_t& swordIndex);
