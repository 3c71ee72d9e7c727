#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>

// The animated logo of the info window: a 50 × 50 control showing one of 24 frames, advanced
// by its own timer while the animation is on. Frames 0 to 23 play in a loop; set directly, the
// frame is limited to 0..22.
class TOvixLogo : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Speed READ Speed WRITE SetSpeed)
    Q_PROPERTY(bool AnimationOn READ AnimationOn WRITE SetAnimationOn)
    Q_PROPERTY(int PictureNo READ PictureNo WRITE SetPictureNo)

public:
    static constexpr int LogoSize = 50;
    static constexpr int FrameCount = 24;

    explicit TOvixLogo(QWidget* parent = nullptr);

    // Milliseconds between frames.
    int Speed() const { return FSpeed; }
    void SetSpeed(int milliseconds);

    bool AnimationOn() const { return FAnimationOn; }
    void SetAnimationOn(bool on);

    int PictureNo() const { return FPictureNo; }
    void SetPictureNo(int picture);

    // One timer tick: the next frame, after frame 23 frame 0.
    void TimerTick();

    // While the mouse is over area (for example the panel holding the logo), Speed is
    // fastSpeed; when it leaves, Speed returns to what it was before.
    void SpeedUpOnHover(QWidget* area, int fastSpeed);

    // The artwork of frame 0 to 23 (a null image for any other number).
    static QImage LogoFrame(int frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateTimer();
    void SetHovered(bool hovered);

    std::array<QPixmap, FrameCount> FFrames; // each drawn when first shown
    QTimer FTimer;
    int FSpeed = 50;
    bool FAnimationOn = false;
    int FPictureNo = 2;
    QPointer<QWidget> FHoverArea;
    int FHoverSpeed = 10;
    int FRestingSpeed = 50;
    bool FHovered = false;
};
