#include "shell/OvixLogo.h"

#include <QConicalGradient>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr int LastSettableFrame = 22;

// The emblem's letter P, 26 pixels high, centred on the origin.
QPainterPath MakeLetterP() {
    QPainterPath stem;
    stem.addRect(QRectF(-8.5, -13, 6, 26));
    QPainterPath bowl;
    bowl.addRoundedRect(QRectF(-8.5, -13, 19, 17), 8.5, 8.5);
    bowl.addRect(QRectF(-8.5, -13, 9, 17));
    bowl.setFillRule(Qt::WindingFill);
    QPainterPath hole;
    hole.addRoundedRect(QRectF(-2.5, -7.5, 7.5, 6), 3, 3);
    return stem.united(bowl.simplified().subtracted(hole));
}

// The outline is the same in every frame; working it out takes a while.
const QPainterPath& LetterP() {
    static const QPainterPath letter = MakeLetterP();
    return letter;
}

void DrawBadge(QPainter& painter, const QPointF& centre, double angle) {
    QRadialGradient depth(centre - QPointF(6, 8), 30);
    depth.setColorAt(0, QColor(52, 104, 156));
    depth.setColorAt(1, QColor(12, 30, 58));
    painter.setPen(Qt::NoPen);
    painter.setBrush(depth);
    painter.drawEllipse(centre, 23, 23);

    // A metal rim whose shine travels round with the animation.
    QConicalGradient shine(centre, 90 - angle * 180 / Pi);
    shine.setColorAt(0.0, QColor(250, 252, 255));
    shine.setColorAt(0.25, QColor(150, 160, 176));
    shine.setColorAt(0.5, QColor(214, 220, 230));
    shine.setColorAt(0.75, QColor(120, 130, 148));
    shine.setColorAt(1.0, QColor(250, 252, 255));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(shine), 2.6));
    painter.drawEllipse(centre, 22.6, 22.6);

    const int pulse = static_cast<int>(70 + 60 * (0.5 + 0.5 * std::cos(2 * angle)));
    painter.setPen(QPen(QColor(120, 200, 255, pulse), 1.0));
    painter.drawEllipse(centre, 19.5, 19.5);
}

// The P turns about its upright axis; its edge shows as a darker copy beside it.
void DrawTurningLetter(QPainter& painter, const QPointF& centre, double angle) {
    const double turn = std::cos(angle);
    const double side = std::sin(angle);
    const QPainterPath& letter = LetterP();

    QTransform edge;
    edge.translate(centre.x() + 2.4 * side, centre.y() + 0.6);
    edge.scale(std::max(std::abs(turn), 0.06) * (turn < 0 ? -1 : 1), 1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(120, 76, 18));
    painter.drawPath(edge.map(letter));

    QTransform face;
    face.translate(centre.x(), centre.y());
    face.scale(std::max(std::abs(turn), 0.06) * (turn < 0 ? -1 : 1), 1);
    QLinearGradient gold(centre.x(), centre.y() - 13, centre.x(), centre.y() + 13);
    const double light = turn >= 0 ? 1.0 : 0.82; // the back face is a little darker
    gold.setColorAt(0, QColor::fromRgbF(1.0f, float(0.92 * light), float(0.62 * light)));
    gold.setColorAt(0.55, QColor::fromRgbF(float(0.96 * light), float(0.72 * light), 0.22f));
    gold.setColorAt(1, QColor::fromRgbF(float(0.78 * light), float(0.50 * light), 0.10f));
    painter.setBrush(gold);
    painter.setPen(QPen(QColor(90, 56, 10, 160), 0.6));
    painter.drawPath(face.map(letter));
}

// A spark circling the rim clockwise from the top.
void DrawSpark(QPainter& painter, const QPointF& centre, double angle) {
    const QPointF at = centre + QPointF(22.6 * std::sin(angle), -22.6 * std::cos(angle));
    QRadialGradient glow(at, 5);
    glow.setColorAt(0, QColor(255, 255, 255, 255));
    glow.setColorAt(0.35, QColor(180, 230, 255, 200));
    glow.setColorAt(1, QColor(120, 200, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(at, 5, 5);
}

} // namespace

QImage TOvixLogo::LogoFrame(int frame) {
    if (frame < 0 || frame >= FrameCount)
        return {};
    QImage image(LogoSize, LogoSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(LogoSize / 2.0, LogoSize / 2.0);
    const double angle = 2 * Pi * frame / FrameCount;
    DrawBadge(painter, centre, angle);
    DrawTurningLetter(painter, centre, angle);
    DrawSpark(painter, centre, angle);
    return image;
}

// Each frame is drawn when first shown: most runs never show the logo at all.
TOvixLogo::TOvixLogo(QWidget* parent) : QWidget(parent) {
    setFixedSize(LogoSize, LogoSize);
    connect(&FTimer, &QTimer::timeout, this, &TOvixLogo::TimerTick);
}

void TOvixLogo::SetSpeed(int milliseconds) {
    FSpeed = milliseconds;
    UpdateTimer();
}

void TOvixLogo::SetAnimationOn(bool on) {
    if (on == FAnimationOn)
        return;
    FAnimationOn = on;
    UpdateTimer();
}

// Like a classic timer, an interval of 0 or less never fires.
void TOvixLogo::UpdateTimer() {
    if (FAnimationOn && FSpeed > 0)
        FTimer.start(FSpeed);
    else
        FTimer.stop();
}

void TOvixLogo::SetPictureNo(int picture) {
    if (picture == FPictureNo)
        return;
    FPictureNo = std::clamp(picture, 0, LastSettableFrame);
    update();
}

void TOvixLogo::TimerTick() {
    FPictureNo = FPictureNo > LastSettableFrame ? 0 : FPictureNo + 1;
    update();
}

void TOvixLogo::SpeedUpOnHover(QWidget* area, int fastSpeed) {
    if (FHoverArea)
        FHoverArea->removeEventFilter(this);
    FHoverArea = area;
    FHoverSpeed = fastSpeed;
    FHovered = false;
    if (!area)
        return;
    area->installEventFilter(this);
    if (area->underMouse())
        SetHovered(true);
}

void TOvixLogo::SetHovered(bool hovered) {
    if (hovered == FHovered)
        return;
    FHovered = hovered;
    if (hovered)
        FRestingSpeed = FSpeed;
    SetSpeed(hovered ? FHoverSpeed : FRestingSpeed);
}

bool TOvixLogo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FHoverArea) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
            SetHovered(true);
        else if (event->type() == QEvent::Leave)
            SetHovered(false);
    }
    return QWidget::eventFilter(watched, event);
}

void TOvixLogo::paintEvent(QPaintEvent*) {
    if (width() != LogoSize || height() != LogoSize)
        resize(LogoSize, LogoSize);
    QPixmap& frame = FFrames[static_cast<std::size_t>(FPictureNo)];
    if (frame.isNull())
        frame = QPixmap::fromImage(LogoFrame(FPictureNo));
    QPainter painter(this);
    painter.drawPixmap(0, 0, frame);
}
