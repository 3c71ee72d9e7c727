#pragma once

#include <cstdint>
#include <string>

// The tempo bar both programs show. Its positions span the step times, 30 to 1000 ms, but run
// against them: the left end is the slowest tempo, the right end the fastest.
namespace TempoBar {

inline constexpr int32_t MinStepTime = 30;
inline constexpr int32_t MaxStepTime = 1000;

// The step time (ms) the bar shows at `position`; a position beyond an end counts as that end.
int32_t StepTimeAt(int32_t position);
// The position that shows `stepTime`.
int32_t PositionOf(int32_t stepTime);
// The tempo of `stepTime` in beats per minute (four steps to the beat), as the bar's label shows
// it: three decimals.
std::string BpmText(int32_t stepTime);

} // namespace TempoBar
