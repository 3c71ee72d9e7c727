#pragma once

#include <QScrollBar>

// The slider both programs use: a scroll bar that moves one wheel step per mouse-wheel notch,
// takes the keyboard focus when the mouse moves over it, and reports its position as a
// percentage of the maximum and as counted from the other end.
//
// Change runs after every position change (by the user, by code or by the wheel) and after
// every wheel notch, once Prozent and PositionInverse describe the new position.
// Scroll reports the user's gestures with the classic scroll codes; a gesture always ends with
// scEndScroll: the release after a drag or a click, the release of a key, every wheel notch.
class TWheelBar2003 : public QScrollBar {
    Q_OBJECT
    Q_PROPERTY(int WheelStep READ WheelStep WRITE SetWheelStep)
    Q_PROPERTY(int Prozent READ Prozent WRITE SetProzent)
    Q_PROPERTY(int PositionInverse READ PositionInverse WRITE SetPositionInverse)

public:
    enum TScrollCode {
        scLineUp,
        scLineDown,
        scPageUp,
        scPageDown,
        scPosition,
        scTrack,
        scTop,
        scBottom,
        scEndScroll
    };
    Q_ENUM(TScrollCode)

    explicit TWheelBar2003(QWidget* parent = nullptr);
    explicit TWheelBar2003(Qt::Orientation orientation, QWidget* parent = nullptr);

    int WheelStep() const { return FWheelStep; }
    void SetWheelStep(int step) { FWheelStep = step; }

    int Prozent() const { return FProzent; }
    // Moves the position to percent × maximum / 100, rounded half to even.
    void SetProzent(int percent);

    int PositionInverse() const { return FPositionInverse; }
    // Stores the value within minimum..maximum; the position does not move.
    void SetPositionInverse(int inverse);

signals:
    void Change();
    void Scroll(TWheelBar2003::TScrollCode code);

protected:
    void sliderChange(SliderChange change) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void Setup();
    void UpdateFromPosition();
    void ReportAction(int action);

    int FWheelStep = 1;
    int FProzent = 0;
    int FPositionInverse = 0;
    int FLastPosition = 0;
    bool FMouseGesture = false;
    bool FKeyGesture = false;
};
