#pragma once

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSize>

class QPainter;
class QWidget;

// The background skins the machine's windows share. Skin 0 is none; skins 1 to 22 each tile
// one 50 × 50 pattern over the shared skin bitmap, which every skinned window draws at its
// top-left corner. The main window owns the one object; windows attach to it to be repainted
// whenever the skin changes.
class TSkins : public QObject {
    Q_OBJECT

public:
    static constexpr int SkinCount = 23;
    static constexpr int DefaultSkin = 2;
    static constexpr int TileSize = 50;

    explicit TSkins(QObject* parent = nullptr);

    int SkinNumber() const { return FSkinNumber; }
    // Stores the number as it is; the settings reader stores the saved skin minus 1 so that
    // the next-skin step at the end of start-up restores it. Nothing is redrawn.
    void SetSkinNumber(int skin) { FSkinNumber = skin; }

    // The next skin, wrapping from 22 (or anything out of range) to 0. A skin other than 0 is
    // tiled over the pattern editor's size plus one tile each way. Windows are then repainted.
    void NextSkin(QSize patternEditorSize);

    const QPixmap& SkinBitmap() const { return FSkinBitmap; }

    // For a window's paint handler: draws the skin bitmap at the top-left corner when a skin is
    // selected and nothing otherwise, so that the window's plain background shows.
    void PaintSkin(QPainter& painter) const;

    // The window shows the skin (painted at its top-left under whatever the window paints) and
    // is repainted after every skin change, as long as it lives.
    void Attach(QWidget* window);

    // The artwork of skin 1 to 22 (a null image for any other number).
    static QImage SkinTile(int skin);

signals:
    void SkinChanged(int skin);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildSkinBitmap(QSize patternEditorSize);

    int FSkinNumber = DefaultSkin;
    QPixmap FSkinBitmap;
};
