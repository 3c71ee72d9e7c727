#include "shell/OvixLogo.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// What the control paints, without any background.
QImage Shown(TOvixLogo& logo) {
    QImage image(logo.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    logo.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

QImage Frame(int frame) {
    return TOvixLogo::LogoFrame(frame).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void Send(QWidget& widget, QEvent::Type type) {
    if (type == QEvent::Enter) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), widget.mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(&widget, &enter);
    } else if (type == QEvent::MouseMove) {
        QMouseEvent move(type, QPointF(2, 2), widget.mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&widget, &move);
    } else {
        QEvent event(type);
        QApplication::sendEvent(&widget, &event);
    }
}

// Waits until the shown frame changes; false when it stays for the whole time.
bool FrameChangesWithin(TOvixLogo& logo, int milliseconds) {
    const int start = logo.PictureNo();
    return QTest::qWaitFor([&] { return logo.PictureNo() != start; }, milliseconds);
}

} // namespace

TEST(OvixLogo, StartsStillOnFrameTwoAtFiftyByFifty) {
    TOvixLogo logo;
    EXPECT_EQ(logo.size(), QSize(50, 50));
    EXPECT_EQ(logo.Speed(), 50);
    EXPECT_FALSE(logo.AnimationOn());
    EXPECT_EQ(logo.PictureNo(), 2);
    EXPECT_EQ(Shown(logo), Frame(2));
    logo.resize(80, 30);
    EXPECT_EQ(logo.size(), QSize(50, 50));
}

TEST(OvixLogo, HasTwentyFourDistinctFrames) {
    for (int frame = 0; frame < TOvixLogo::FrameCount; ++frame) {
        ASSERT_EQ(Frame(frame).size(), QSize(50, 50));
        for (int earlier = 0; earlier < frame; ++earlier)
            EXPECT_NE(Frame(frame), Frame(earlier)) << frame << " " << earlier;
    }
    EXPECT_TRUE(TOvixLogo::LogoFrame(24).isNull());
    EXPECT_TRUE(TOvixLogo::LogoFrame(-1).isNull());
}

TEST(OvixLogo, SetFramesStopAtTwentyTwo) {
    TOvixLogo logo;
    logo.SetPictureNo(30);
    EXPECT_EQ(logo.PictureNo(), 22);
    EXPECT_EQ(Shown(logo), Frame(22));
    logo.SetPictureNo(5);
    EXPECT_EQ(Shown(logo), Frame(5));
    logo.SetPictureNo(-4);
    EXPECT_EQ(logo.PictureNo(), 0);
}

TEST(OvixLogo, TicksPlayEveryFrameInALoop) {
    TOvixLogo logo;
    logo.SetPictureNo(21);
    for (int expected : {22, 23, 0, 1}) {
        logo.TimerTick();
        EXPECT_EQ(logo.PictureNo(), expected);
        EXPECT_EQ(Shown(logo), Frame(expected));
    }
}

TEST(OvixLogo, AnimatesOnlyWhileSwitchedOnAndAtItsSpeed) {
    TOvixLogo logo;
    logo.SetSpeed(5);
    EXPECT_FALSE(FrameChangesWithin(logo, 100));
    logo.SetAnimationOn(true);
    EXPECT_TRUE(FrameChangesWithin(logo, 2000));
    logo.SetAnimationOn(true); // switching on twice changes nothing
    logo.SetAnimationOn(false);
    EXPECT_FALSE(FrameChangesWithin(logo, 100));

    logo.SetSpeed(60000);
    logo.SetAnimationOn(true);
    EXPECT_FALSE(FrameChangesWithin(logo, 100));
    logo.SetSpeed(5); // a new speed applies to the running animation at once
    EXPECT_TRUE(FrameChangesWithin(logo, 2000));
    logo.SetSpeed(0); // no interval, no frames
    EXPECT_FALSE(FrameChangesWithin(logo, 100));
}

TEST(OvixLogo, RunsFastWhileTheMouseIsOverItsArea) {
    QWidget window;
    auto* panel = new QWidget(&window);
    panel->setMouseTracking(true);
    auto* logo = new TOvixLogo(panel);
    logo->SetSpeed(60000);
    logo->SetAnimationOn(true);
    logo->SpeedUpOnHover(panel, 5);

    Send(*panel, QEvent::Enter);
    EXPECT_EQ(logo->Speed(), 5);
    EXPECT_TRUE(FrameChangesWithin(*logo, 2000));
    Send(*panel, QEvent::MouseMove);
    EXPECT_EQ(logo->Speed(), 5);
    Send(*panel, QEvent::Leave);
    EXPECT_EQ(logo->Speed(), 60000);
    EXPECT_FALSE(FrameChangesWithin(*logo, 100));

    Send(window, QEvent::Enter); // the rest of the window does not count
    EXPECT_EQ(logo->Speed(), 60000);
    Send(*panel, QEvent::MouseMove);
    EXPECT_EQ(logo->Speed(), 5);
}
