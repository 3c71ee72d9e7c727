#pragma once

#include "WheelBar2003.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <gtest/gtest.h>

// One wheel event over the middle of the bar with the given vertical and horizontal deltas.
inline void TurnWheel(TWheelBar2003& bar, int deltaY, int deltaX = 0) {
    const QPointF centre(bar.width() / 2.0, bar.height() / 2.0);
    QWheelEvent event(centre, bar.mapToGlobal(centre), QPoint(), QPoint(deltaX, deltaY),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&bar, &event);
    EXPECT_TRUE(event.isAccepted()); // the window under the bar never scrolls
}

// The middle of a part of the bar (its handle, a groove, an arrow) as the style draws it.
inline QPoint CentreOf(TWheelBar2003& bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = bar.orientation();
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = bar.sliderPosition();
    option.sliderValue = bar.value();
    option.singleStep = bar.singleStep();
    option.pageStep = bar.pageStep();
    option.subControls = QStyle::SC_All;
    return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar).center();
}
