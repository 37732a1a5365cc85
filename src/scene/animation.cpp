#include "scene/animation.h"

namespace {

int32_t NextInRing(int32_t index, int32_t stride, int32_t first, int32_t last) {
    if (index < first || index > last || (index - first) % stride != 0)
        return first;
    index += stride;
    return index > last ? first : index;
}

} // namespace

bool KeyframeStepDue(KeyframeClock& clock, uint64_t nowMs) {
    if (!clock.started || nowMs < clock.lastStepTime) {
        clock.blendFraction = 0.0f;
        return true;
    }
    const uint64_t elapsed = nowMs - clock.lastStepTime;
    if (elapsed > kKeyframeIntervalMs) {
        clock.blendFraction = 1.0f;
        return true;
    }
    clock.blendFraction = static_cast<float>(elapsed) / static_cast<float>(kKeyframeIntervalMs);
    return false;
}

void MarkKeyframeStep(KeyframeClock& clock, uint64_t nowMs) {
    clock.started = true;
    clock.lastStepTime = nowMs;
    clock.blendFraction = 0.0f;
}

// Each index off its ring (out of range, or between two of its keyframes)
// restarts the ring.
void AdvanceKeyframeIndices(int32_t& bodyIndex, int32_t& headIndex, int32_t& swordIndex) {
    bodyIndex = NextInRing(bodyIndex, 2, kFirstBodyKeyframe, kLastBodyKeyframe);
    headIndex = NextInRing(headIndex, 2, kFirstHeadKeyframe, kLastHeadKeyframe);
    swordIndex = NextInRing(swordIndex, 1, kFirstSwordKeyframe, kLastSwordKeyframe);
}
