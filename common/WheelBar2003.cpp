#include "WheelBar2003.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cstdint>

namespace {

// Quotient of numerator / 100 rounded to the nearest integer, halves to the even neighbour.
std::int64_t DivideBy100HalfEven(std::int64_t numerator) {
    std::int64_t quotient = numerator / 100;
    std::int64_t remainder = numerator % 100;
    if (remainder < 0) { // make the quotient the floor
        quotient -= 1;
        remainder += 100;
    }
    if (remainder > 50 || (remainder == 50 && quotient % 2 != 0))
        quotient += 1;
    return quotient;
}

int ClampToRange(std::int64_t value, int minimum, int maximum) {
    return static_cast<int>(std::clamp<std::int64_t>(value, minimum, maximum));
}

} // namespace

TWheelBar2003::TWheelBar2003(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
    Setup();
}

TWheelBar2003::TWheelBar2003(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {
    Setup();
}

void TWheelBar2003::Setup() {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    FLastPosition = value();
    UpdateFromPosition();
    connect(this, &QAbstractSlider::actionTriggered, this, &TWheelBar2003::ReportAction);
    connect(this, &QAbstractSlider::sliderReleased, this, [this] { emit Scroll(scPosition); });
}

void TWheelBar2003::SetProzent(int percent) {
    FProzent = percent;
    const std::int64_t target = DivideBy100HalfEven(std::int64_t{percent} * maximum());
    setValue(ClampToRange(target, minimum(), maximum()));
}

void TWheelBar2003::SetPositionInverse(int inverse) {
    FPositionInverse = std::clamp(inverse, minimum(), maximum());
}

void TWheelBar2003::UpdateFromPosition() {
    const std::int64_t position = value();
    FPositionInverse =
        ClampToRange(std::int64_t{maximum()} + minimum() - position, minimum(), maximum());
    FProzent = maximum() == 0 ? 0 : static_cast<int>(position * 100 / maximum());
}

void TWheelBar2003::sliderChange(SliderChange change) {
    QScrollBar::sliderChange(change);
    // A new range changes what the position means even where the position itself stays.
    if (change == SliderRangeChange)
        UpdateFromPosition();
    if (change != SliderValueChange || value() == FLastPosition)
        return;
    FLastPosition = value();
    UpdateFromPosition();
    emit Change();
}

void TWheelBar2003::wheelEvent(QWheelEvent* event) {
    event->accept();
    setFocus(Qt::MouseFocusReason);
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta == 0)
        return;
    // Turning the wheel away from the user moves a vertical thumb up, a horizontal one right.
    const bool away = delta > 0;
    const int direction = orientation() == Qt::Vertical ? (away ? -1 : 1) : (away ? 1 : -1);
    const int before = value();
    setValue(ClampToRange(std::int64_t{before} + std::int64_t{direction} * FWheelStep, minimum(),
                          maximum()));
    if (value() == before) { // at an end: nothing moved, but the notch is still reported
        UpdateFromPosition();
        emit Change();
    }
    emit Scroll(scEndScroll); // a notch is a whole gesture: what waits for its end applies now
}

void TWheelBar2003::mouseMoveEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QScrollBar::mouseMoveEvent(event);
}

void TWheelBar2003::mousePressEvent(QMouseEvent* event) {
    FMouseGesture = event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton;
    QScrollBar::mousePressEvent(event);
}

void TWheelBar2003::mouseReleaseEvent(QMouseEvent* event) {
    QScrollBar::mouseReleaseEvent(event);
    if (FMouseGesture && event->buttons() == Qt::NoButton) {
        FMouseGesture = false;
        emit Scroll(scEndScroll);
    }
}

void TWheelBar2003::keyReleaseEvent(QKeyEvent* event) {
    QScrollBar::keyReleaseEvent(event);
    if (FKeyGesture && !event->isAutoRepeat()) {
        FKeyGesture = false;
        emit Scroll(scEndScroll);
    }
}

void TWheelBar2003::ReportAction(int action) {
    if (!FMouseGesture)
        FKeyGesture = true;
    switch (action) {
    case SliderSingleStepSub:
        emit Scroll(scLineUp);
        break;
    case SliderSingleStepAdd:
        emit Scroll(scLineDown);
        break;
    case SliderPageStepSub:
        emit Scroll(scPageUp);
        break;
    case SliderPageStepAdd:
        emit Scroll(scPageDown);
        break;
    case SliderToMinimum:
        emit Scroll(scTop);
        break;
    case SliderToMaximum:
        emit Scroll(scBottom);
        break;
    case SliderMove:
        emit Scroll(scTrack);
        break;
    default:
        break;
    }
}
