// The tempo bar's positions, step times and tempo text, as both programs show them.

#include "TempoBar.h"

#include <gtest/gtest.h>

namespace {

TEST(TempoBar, PositionsRunAgainstTheStepTimesAndStopAtTheEnds) {
    EXPECT_EQ(TempoBar::StepTimeAt(TempoBar::MinStepTime), TempoBar::MaxStepTime) << "left: slow";
    EXPECT_EQ(TempoBar::StepTimeAt(TempoBar::MaxStepTime), TempoBar::MinStepTime) << "right: fast";
    EXPECT_EQ(TempoBar::StepTimeAt(830), 200);
    EXPECT_EQ(TempoBar::StepTimeAt(0), TempoBar::MaxStepTime);
    EXPECT_EQ(TempoBar::StepTimeAt(5000), TempoBar::MinStepTime);
    for (const int32_t stepTime : {30, 200, 999, 1000})
        EXPECT_EQ(TempoBar::StepTimeAt(TempoBar::PositionOf(stepTime)), stepTime);
}

TEST(TempoBar, TheTempoTextHasThreeDecimals) {
    EXPECT_EQ(TempoBar::BpmText(200), "75.000");
    EXPECT_EQ(TempoBar::BpmText(30), "500.000");
    EXPECT_EQ(TempoBar::BpmText(1000), "15.000");
    EXPECT_EQ(TempoBar::BpmText(7), "2142.857");
}

} // namespace
