#include "shell/Skins.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

namespace {

const QSize EditorSize(333, 241);

// A window that draws the skin as the machine's windows do, and counts its paints.
class TSkinnedWindow : public QWidget {
public:
    explicit TSkinnedWindow(const TSkins& skins) : FSkins(skins) {}
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++Paints;
        QPainter painter(this);
        FSkins.PaintSkin(painter);
    }

private:
    const TSkins& FSkins;
};

QImage Painted(const TSkins& skins, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta); // stands for the window's plain background
    QPainter painter(&image);
    skins.PaintSkin(painter);
    return image;
}

double MeanLightness(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += image.pixelColor(x, y).lightnessF();
    return sum / (image.width() * image.height());
}

} // namespace

TEST(Skins, StartsWithTheDefaultSkin) {
    TSkins skins;
    EXPECT_EQ(TSkins::SkinCount, 23);
    EXPECT_EQ(skins.SkinNumber(), 2);
    EXPECT_TRUE(skins.SkinBitmap().isNull());
}

TEST(Skins, NextSkinWrapsFromTheLastToNoneAndOn) {
    TSkins skins;
    skins.SetSkinNumber(21);
    QSignalSpy changes(&skins, &TSkins::SkinChanged);
    skins.NextSkin(EditorSize);
    EXPECT_EQ(skins.SkinNumber(), 22);
    skins.NextSkin(EditorSize);
    EXPECT_EQ(skins.SkinNumber(), 0);
    EXPECT_EQ(Painted(skins, QSize(40, 40)).pixelColor(20, 20), QColor(Qt::magenta));
    skins.NextSkin(EditorSize);
    EXPECT_EQ(skins.SkinNumber(), 1);
    EXPECT_EQ(skins.SkinBitmap().toImage().copy(0, 0, 50, 50).convertToFormat(QImage::Format_RGB32),
              TSkins::SkinTile(1).convertToFormat(QImage::Format_RGB32));
    ASSERT_EQ(changes.count(), 3);
    EXPECT_EQ(changes.at(1).at(0).toInt(), 0);
}

TEST(Skins, StartUpRestoresTheSavedSkinFromOneLess) {
    for (int saved : {0, 1, 5, 22}) {
        TSkins skins;
        skins.SetSkinNumber(saved - 1); // as the settings reader stores it
        skins.NextSkin(EditorSize);
        EXPECT_EQ(skins.SkinNumber(), saved);
    }
    TSkins skins;
    skins.SetSkinNumber(40); // a damaged number ends without a skin
    skins.NextSkin(EditorSize);
    EXPECT_EQ(skins.SkinNumber(), 0);
}

TEST(Skins, BitmapTilesTheSkinOverTheEditorAndOneTileMore) {
    TSkins skins;
    skins.SetSkinNumber(6);
    skins.NextSkin(EditorSize);
    const QImage bitmap = skins.SkinBitmap().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(bitmap.size(), QSize(EditorSize.width() + 50, EditorSize.height() + 50));
    const QImage tile = TSkins::SkinTile(7).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            ASSERT_EQ(bitmap.pixel(x, y), tile.pixel(x % 50, y % 50)) << x << "," << y;

    skins.NextSkin(QSize()); // an editor without a size still gets one tile
    EXPECT_EQ(skins.SkinBitmap().size(), QSize(50, 50));
}

TEST(Skins, PaintDrawsTheBitmapAtTheTopLeftOnlyWhileASkinIsSelected) {
    TSkins skins;
    skins.SetSkinNumber(1);
    skins.NextSkin(QSize(60, 40)); // bitmap 110 × 90
    const QImage painted = Painted(skins, QSize(200, 120));
    const QImage tile = TSkins::SkinTile(2).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(painted.pixel(0, 0), tile.pixel(0, 0));
    EXPECT_EQ(painted.pixel(109, 89), tile.pixel(9, 39));
    EXPECT_EQ(painted.pixelColor(150, 100), QColor(Qt::magenta)); // beyond the bitmap

    skins.SetSkinNumber(22);
    skins.NextSkin(QSize(60, 40));
    EXPECT_EQ(Painted(skins, QSize(200, 120)).pixelColor(0, 0), QColor(Qt::magenta));
}

TEST(Skins, AttachedWindowsRepaintOnEveryChange) {
    TSkins skins;
    TSkinnedWindow window(skins);
    window.resize(120, 80);
    skins.Attach(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    for (int step = 0; step < 2; ++step) { // once to skin 3, once from 22 to none
        const int paintsBefore = window.Paints;
        skins.SetSkinNumber(step == 0 ? 2 : 22);
        skins.NextSkin(EditorSize);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.Paints > paintsBefore; }));
    }
    {
        TSkinnedWindow shortLived(skins);
        skins.Attach(&shortLived);
    }
    skins.NextSkin(EditorSize); // a destroyed window is no longer notified
}

TEST(Skins, EveryTileIsItsOwnLightSeamlessFiftyPixelSquare) {
    std::vector<QImage> tiles;
    for (int skin = 1; skin < TSkins::SkinCount; ++skin) {
        const QImage tile = TSkins::SkinTile(skin).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(tile.size(), QSize(50, 50)) << skin;
        // Black text stays readable on every skin.
        EXPECT_GT(MeanLightness(tile), 0.6) << skin;
        for (const QImage& earlier : tiles)
            EXPECT_NE(tile, earlier) << skin;
        EXPECT_EQ(tile, TSkins::SkinTile(skin).convertToFormat(QImage::Format_RGB32)) << skin;
        tiles.push_back(tile);
    }
    EXPECT_TRUE(TSkins::SkinTile(0).isNull());
    EXPECT_TRUE(TSkins::SkinTile(23).isNull());
}
