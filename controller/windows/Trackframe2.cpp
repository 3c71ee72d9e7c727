#include "Trackframe2.h"

#include "PlaceControl.h"
#include "WheelBar2003.h"

#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolButton>

namespace {

// The mute button's glyph: a loudspeaker, struck through while muted.
QIcon SpeakerIcon() {
    QIcon icon;
    for (const bool muted : {false, true}) {
        QPixmap pixmap(14, 12);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(40, 40, 40));
        painter.drawRect(1, 4, 3, 4);
        painter.drawPolygon(QPolygon({{4, 4}, {8, 1}, {8, 11}, {4, 8}}));
        painter.setPen(QPen(muted ? QColor(200, 30, 30) : QColor(40, 40, 40), 1.5));
        if (muted) {
            painter.drawLine(10, 3, 13, 9);
            painter.drawLine(13, 3, 10, 9);
        } else {
            painter.drawArc(7, 3, 5, 6, -60 * 16, 120 * 16);
            painter.drawArc(7, 1, 7, 10, -60 * 16, 120 * 16);
        }
        icon.addPixmap(pixmap, QIcon::Normal, muted ? QIcon::On : QIcon::Off);
    }
    return icon;
}

QToolButton* Button(QWidget* parent, const QString& caption) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setAutoRaise(false);
    return button;
}

} // namespace

TTrackControl::TTrackControl(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFixedSize(FrameWidth, FrameHeight);
    setMouseTracking(true);
    SpeedButton10 = Place(Button(this, ""), "SpeedButton10", 6, 6, 75, 15);
    SpeedButton10->setCheckable(true);
    SpeedButton10->setIcon(SpeakerIcon());
    SpeedButton10->setIconSize(QSize(14, 12));
    SpeedButton1 = Place(Button(this, "PAT."), "SpeedButton1", 6, 34, 55, 22);
    SpeedButton2 = Place(Button(this, "STOP"), "SpeedButton2", 6, 62, 55, 22);
    WheelBar1 = Place(new TWheelBar2003(Qt::Vertical, this), "WheelBar1", 92, 6, 16, 83);
    WheelBar1->setRange(0, 127);
    WheelBar1->SetWheelStep(5);
    WheelBar1->SetPositionInverse(127);
    VolumeText = Place(new QLabel(this), "VolumeText", 80, 89, 32, 14);
    VolumeText->setAlignment(Qt::AlignCenter);
    ShowVolumeText();
    connect(SpeedButton10, &QToolButton::clicked, this, &TTrackControl::MuteClicked);
    connect(SpeedButton1, &QToolButton::clicked, this, &TTrackControl::PlayPatternClicked);
    connect(SpeedButton2, &QToolButton::clicked, this, &TTrackControl::StopClicked);
    connect(WheelBar1, &TWheelBar2003::Change, this, [this] {
        ShowVolumeText();
        emit VolumeMoved(WheelBar1->value());
    });
}

void TTrackControl::ShowState(bool muted, int volume) {
    SpeedButton10->setChecked(muted);
    const QSignalBlocker quiet(WheelBar1);
    WheelBar1->setValue(volume);
    ShowVolumeText();
}

void TTrackControl::ShowVolumeText() {
    VolumeText->setText(QString::number(WheelBar1->maximum() - WheelBar1->value()));
}

// The wheel acts on the frame under the mouse.
void TTrackControl::mouseMoveEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    QFrame::mouseMoveEvent(event);
}
