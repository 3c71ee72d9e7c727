#include "WheelBar2003.h"

#include "SliderGestures.h"

#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct VolumeBar {
    VolumeBar() {
        bar.setRange(0, 127);
        bar.setValue(10);
        bar.resize(16, 83);
    }
    TWheelBar2003 bar{Qt::Vertical};
};

} // namespace

TEST(WheelBar2003, StartsWithWheelStepOneAndDerivedValuesOfItsPosition) {
    TWheelBar2003 bar;
    EXPECT_EQ(bar.orientation(), Qt::Vertical);
    EXPECT_EQ(bar.WheelStep(), 1);
    EXPECT_EQ(bar.Prozent(), 0);
    EXPECT_EQ(bar.PositionInverse(), bar.maximum() + bar.minimum() - bar.value());
    EXPECT_EQ(bar.property("WheelStep").toInt(), 1);
}

TEST(WheelBar2003, OneNotchMovesOneWheelStepWhateverTheDelta) {
    for (int delta : {120, 240, 15}) {
        VolumeBar volume;
        TurnWheel(volume.bar, delta); // away from the user: thumb up
        EXPECT_EQ(volume.bar.value(), 9) << delta;
        EXPECT_EQ(volume.bar.Prozent(), 7);
        EXPECT_EQ(volume.bar.PositionInverse(), 118);
    }
    VolumeBar volume;
    TurnWheel(volume.bar, -240); // towards the user: thumb down
    EXPECT_EQ(volume.bar.value(), 11);
    EXPECT_EQ(volume.bar.Prozent(), 8);
    EXPECT_EQ(volume.bar.PositionInverse(), 116);
}

TEST(WheelBar2003, HorizontalBarMovesRightWhenTheWheelTurnsAway) {
    TWheelBar2003 bar(Qt::Horizontal);
    bar.setRange(0, 100);
    bar.setValue(50);
    bar.SetWheelStep(5);
    TurnWheel(bar, 120);
    EXPECT_EQ(bar.value(), 55);
    TurnWheel(bar, -120);
    TurnWheel(bar, -120);
    EXPECT_EQ(bar.value(), 45);
    TurnWheel(bar, 0, 120); // a sideways wheel counts as well
    EXPECT_EQ(bar.value(), 50);
}

TEST(WheelBar2003, WheelStopsAtTheEndsAndStillReportsEveryNotch) {
    TWheelBar2003 bar(Qt::Vertical);
    bar.setRange(0, 127);
    bar.SetWheelStep(5);
    bar.setValue(3);
    QSignalSpy changes(&bar, &TWheelBar2003::Change);
    TurnWheel(bar, 120);
    EXPECT_EQ(bar.value(), 0); // clamped, no wrap
    EXPECT_EQ(bar.PositionInverse(), 127);
    TurnWheel(bar, 120);
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(changes.count(), 2);

    bar.setValue(125);
    changes.clear();
    TurnWheel(bar, -120);
    TurnWheel(bar, -120);
    EXPECT_EQ(bar.value(), 127);
    EXPECT_EQ(bar.Prozent(), 100);
    EXPECT_EQ(bar.PositionInverse(), 0);
    EXPECT_EQ(changes.count(), 2);
}

TEST(WheelBar2003, EveryNotchEndsAGesture) {
    VolumeBar volume;
    QSignalSpy scrolls(&volume.bar, &TWheelBar2003::Scroll);
    TurnWheel(volume.bar, 120);
    TurnWheel(volume.bar, -120);
    ASSERT_EQ(scrolls.size(), 2);
    EXPECT_EQ(scrolls[1][0].value<TWheelBar2003::TScrollCode>(), TWheelBar2003::scEndScroll);
}

TEST(WheelBar2003, ZeroDeltaDoesNothing) {
    VolumeBar volume;
    QSignalSpy changes(&volume.bar, &TWheelBar2003::Change);
    TurnWheel(volume.bar, 0, 0);
    EXPECT_EQ(volume.bar.value(), 10);
    EXPECT_EQ(changes.count(), 0);
}

TEST(WheelBar2003, ProzentMovesToTheRoundedShareOfTheMaximum) {
    VolumeBar volume;
    QSignalSpy changes(&volume.bar, &TWheelBar2003::Change);
    volume.bar.SetProzent(50); // 63.5 rounds to even
    EXPECT_EQ(volume.bar.value(), 64);
    EXPECT_EQ(volume.bar.Prozent(), 50); // recomputed by the change: 6400 / 127
    EXPECT_EQ(volume.bar.PositionInverse(), 63);
    EXPECT_EQ(changes.count(), 1);

    TWheelBar2003 bar;
    bar.setRange(0, 50);
    bar.SetProzent(1); // 0.5 rounds to even: 0, so nothing moves and the percent stays
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(bar.Prozent(), 1);
    bar.SetProzent(3); // 1.5 rounds to 2
    EXPECT_EQ(bar.value(), 2);
    EXPECT_EQ(bar.Prozent(), 4);
    bar.SetProzent(250);
    EXPECT_EQ(bar.value(), 50);
    bar.SetProzent(-20);
    EXPECT_EQ(bar.value(), 0);
}

TEST(WheelBar2003, ProzentIsZeroWhenTheMaximumIsZero) {
    TWheelBar2003 bar;
    bar.setRange(-10, 0);
    bar.setValue(-4);
    EXPECT_EQ(bar.Prozent(), 0);
    EXPECT_EQ(bar.PositionInverse(), -6);
}

TEST(WheelBar2003, PositionInverseIsStoredWithinTheRangeWithoutMoving) {
    VolumeBar volume;
    QSignalSpy changes(&volume.bar, &TWheelBar2003::Change);
    volume.bar.SetPositionInverse(127);
    EXPECT_EQ(volume.bar.PositionInverse(), 127);
    volume.bar.SetPositionInverse(500);
    EXPECT_EQ(volume.bar.PositionInverse(), 127);
    volume.bar.SetPositionInverse(-3);
    EXPECT_EQ(volume.bar.PositionInverse(), 0);
    EXPECT_EQ(volume.bar.value(), 10);
    EXPECT_EQ(changes.count(), 0);
    volume.bar.setValue(100); // the next move describes the position again
    EXPECT_EQ(volume.bar.PositionInverse(), 27);
}

TEST(WheelBar2003, DerivedValuesFollowANewRange) {
    TWheelBar2003 bar; // a fresh bar at position 0 whose range is then set, as windows do
    bar.setRange(0, 127);
    EXPECT_EQ(bar.PositionInverse(), 127);
    bar.setValue(127);
    bar.setRange(0, 254);
    EXPECT_EQ(bar.value(), 127);
    EXPECT_EQ(bar.PositionInverse(), 127);
    EXPECT_EQ(bar.Prozent(), 50);
}

TEST(WheelBar2003, ChangeRunsOnceDerivedValuesAreUpToDate) {
    VolumeBar volume;
    std::vector<int> seenInverse;
    QObject::connect(&volume.bar, &TWheelBar2003::Change,
                     [&] { seenInverse.push_back(volume.bar.PositionInverse()); });
    volume.bar.setValue(20);
    volume.bar.setValue(20);    // no move, no notification
    volume.bar.setRange(0, 15); // the range pulls the position in
    EXPECT_EQ(seenInverse, (std::vector<int>{107, 0}));
}

TEST(WheelBar2003, MouseMovementAndWheelTakeTheFocus) {
    QWidget window;
    auto* other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    auto* bar = new TWheelBar2003(Qt::Vertical, &window);
    bar->setGeometry(100, 0, 16, 83);
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    other->setFocus();
    ASSERT_TRUE(other->hasFocus());
    QTest::mouseMove(bar, QPoint(8, 40));
    EXPECT_TRUE(bar->hasFocus());

    other->setFocus();
    TurnWheel(*bar, 120);
    EXPECT_TRUE(bar->hasFocus());
}

TEST(WheelBar2003, GesturesReportScrollCodesAndEndWithEndScroll) {
    TWheelBar2003 bar(Qt::Vertical);
    bar.setRange(0, 127);
    bar.resize(16, 200);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    std::vector<TWheelBar2003::TScrollCode> codes;
    QObject::connect(&bar, &TWheelBar2003::Scroll,
                     [&](TWheelBar2003::TScrollCode code) { codes.push_back(code); });

    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier,
                      CentreOf(bar, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(bar.value(), 1);
    EXPECT_EQ(codes, (std::vector{TWheelBar2003::scLineDown, TWheelBar2003::scEndScroll}));

    codes.clear();
    QTest::keyClick(&bar, Qt::Key_Up);
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(codes, (std::vector{TWheelBar2003::scLineUp, TWheelBar2003::scEndScroll}));

    codes.clear();
    const QPoint thumb = CentreOf(bar, QStyle::SC_ScrollBarSlider);
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, thumb);
    QMouseEvent drag(QEvent::MouseMove, thumb + QPoint(0, 40),
                     bar.mapToGlobal(thumb + QPoint(0, 40)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&bar, &drag);
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, thumb + QPoint(0, 40));
    EXPECT_GT(bar.value(), 0);
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes.front(), TWheelBar2003::scTrack);
    EXPECT_EQ(codes[codes.size() - 2], TWheelBar2003::scPosition);
    EXPECT_EQ(codes.back(), TWheelBar2003::scEndScroll);
}
