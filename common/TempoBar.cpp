#include "TempoBar.h"

#include <algorithm>
#include <cstdio>

namespace TempoBar {

namespace {

// Positions and step times are each other's mirror image within the bar's range.
int32_t Mirrored(int32_t value) {
    return MaxStepTime + MinStepTime - value;
}

} // namespace

int32_t StepTimeAt(int32_t position) {
    return Mirrored(std::clamp(position, MinStepTime, MaxStepTime));
}

int32_t PositionOf(int32_t stepTime) {
    return Mirrored(stepTime);
}

std::string BpmText(int32_t stepTime) {
    char text[32];
    std::snprintf(text, sizeof text, "%3.3f", 60000.0 / (4.0 * stepTime));
    return text;
}

} // namespace TempoBar
