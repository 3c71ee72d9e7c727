#include "shell/Skins.h"

#include <QEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

// The skin tiles are drawn here rather than shipped as images. Every tile repeats seamlessly
// (noise lattices wrap at the tile size, shapes that cross an edge are drawn again on the
// opposite edge) and stays light, so that black text on top of it remains readable.

namespace {

constexpr int N = TSkins::TileSize;
constexpr double Pi = std::numbers::pi;

// A repeatable pseudo-random value in 0..1 for a lattice point.
double Random01(std::uint32_t seed, int x, int y) {
    std::uint32_t h = seed * 0x9E3779B9u ^ static_cast<std::uint32_t>(x) * 0x85EBCA6Bu ^
                      static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / double(0x1000000);
}

int Wrap(int value, int period) {
    return ((value % period) + period) % period;
}

double Smooth(double t) {
    return t * t * (3 - 2 * t);
}

// Value noise over a lattice of cellsX × cellsY points spread across one tile, so that it
// repeats with the tile.
double TileNoise(double x, double y, int cellsX, int cellsY, std::uint32_t seed) {
    const double fx = x * cellsX / N;
    const double fy = y * cellsY / N;
    const int x0 = static_cast<int>(std::floor(fx));
    const int y0 = static_cast<int>(std::floor(fy));
    const double tx = Smooth(fx - x0);
    const double ty = Smooth(fy - y0);
    auto at = [&](int i, int j) {
        return Random01(seed, Wrap(x0 + i, cellsX), Wrap(y0 + j, cellsY));
    };
    const double top = at(0, 0) + (at(1, 0) - at(0, 0)) * tx;
    const double bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * tx;
    return top + (bottom - top) * ty;
}

// Three octaves of tile noise: broad clouds with finer detail.
double Fractal(double x, double y, std::uint32_t seed) {
    return 0.5 * TileNoise(x, y, 5, 5, seed) + 0.3 * TileNoise(x, y, 10, 10, seed + 1) +
           0.2 * TileNoise(x, y, 25, 25, seed + 2);
}

// Soft clouds in 0..1 from waves with whole numbers of periods per tile, so they repeat with it.
double Clouds(double x, double y, std::uint32_t seed) {
    static constexpr std::array<std::pair<int, int>, 8> Waves{
        {{1, 0}, {0, 1}, {1, 1}, {1, -1}, {2, 1}, {1, 2}, {2, -1}, {3, 1}}};
    double sum = 0;
    double weightSum = 0;
    for (std::size_t k = 0; k < Waves.size(); ++k) {
        const auto [a, b] = Waves[k];
        const double phase = 2 * Pi * Random01(seed, int(k), 0);
        const double weight = 1.0 / (std::abs(a) + std::abs(b));
        sum += weight * std::sin(2 * Pi * (a * x + b * y) / N + phase);
        weightSum += weight;
    }
    return 0.5 + 0.5 * sum / weightSum;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QColor Grey(double level, double red = 1, double green = 1, double blue = 1) {
    auto channel = [&](double tint) {
        return static_cast<float>(std::clamp(level * tint, 0.0, 1.0));
    };
    return QColor::fromRgbF(channel(red), channel(green), channel(blue));
}

QImage BlankTile() {
    QImage tile(N, N, QImage::Format_RGB32);
    tile.fill(Qt::white);
    return tile;
}

// A tile whose every pixel comes from colourAt(x, y), taken at the pixel's centre.
template <class ColourAt> QImage PixelTile(ColourAt colourAt) {
    QImage tile = BlankTile();
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x)
            tile.setPixelColor(x, y, colourAt(x + 0.5, y + 0.5));
    return tile;
}

// Runs draw for the tile and its eight neighbours, so that shapes crossing an edge come back on
// the opposite edge.
template <class Draw> void DrawWrapped(QPainter& painter, Draw draw) {
    for (int dy = -N; dy <= N; dy += N)
        for (int dx = -N; dx <= N; dx += N) {
            painter.save();
            painter.translate(dx, dy);
            draw();
            painter.restore();
        }
}

QImage BrushedAluminium() {
    return PixelTile([](double x, double y) {
        const double streak = 0.6 * TileNoise(x, y, 2, 50, 11) + 0.4 * TileNoise(x, y, 5, 50, 12);
        const double grain = Random01(13, int(x), int(y));
        const double level = 0.80 + 0.09 * (streak - 0.5) + 0.03 * (grain - 0.5);
        return Grey(level, 0.98, 0.995, 1.03);
    });
}

QImage MapleWood() {
    return PixelTile([](double x, double y) {
        const double warp = Clouds(x, y, 21);
        const double phase = 5.0 * y / N + 0.45 * warp + 0.06 * std::sin(2 * Pi * x / N);
        const double line = std::pow(0.5 + 0.5 * std::sin(2 * Pi * phase), 14);
        const double band = TileNoise(x, y, 1, 5, 24); // broader light and dark streaks
        const double grain = TileNoise(x, y, 2, 50, 22);
        const double pore = Random01(23, int(x), int(y));
        return Mix(QColor(240, 216, 176), QColor(200, 156, 102),
                   0.5 * line + 0.3 * band + 0.2 * grain + 0.08 * pore);
    });
}

QImage SilverCarbon() {
    constexpr double Cell = N / 8.0; // eight bundles across; the twill repeats every four
    return PixelTile([](double x, double y) {
        const int i = int(x / Cell);
        const int j = int(y / Cell);
        const bool across = (i + j) % 4 < 2;
        const double inCell = across ? (y - j * Cell) / Cell : (x - i * Cell) / Cell;
        const double bundle = std::sin(Pi * inCell);
        const double fibre = Random01(31, across ? int(y) : int(x), (i + j) % 8);
        const double level = 0.66 + 0.16 * bundle + 0.04 * fibre + (across ? 0.03 : 0.0);
        return Grey(level, 0.98, 0.99, 1.02);
    });
}

QImage Linen() {
    return PixelTile([](double x, double y) {
        const double warp = TileNoise(x, y, 50, 3, 41);
        const double weft = TileNoise(x, y, 3, 50, 42);
        const double over = (int(x) + int(y)) % 2 == 0 ? warp : weft;
        const double speck = Random01(43, int(x), int(y));
        return Mix(QColor(236, 227, 206), QColor(208, 192, 160),
                   0.25 + 0.45 * over + 0.15 * (speck - 0.5));
    });
}

QImage Parchment() {
    return PixelTile([](double x, double y) {
        const double clouds = std::pow(Clouds(x, y, 51), 2.0);
        const double fibre = 0.15 * TileNoise(x, y, 25, 25, 53);
        const double fleck = Random01(52, int(x), int(y)) > 0.985 ? 0.25 : 0.0;
        return Mix(QColor(246, 238, 216), QColor(224, 204, 162), 1.1 * clouds + fibre + fleck);
    });
}

QImage TreadPlate() {
    QImage tile = PixelTile([](double x, double y) {
        return Grey(0.84 + 0.03 * (TileNoise(x, y, 3, 50, 61) - 0.5), 0.99, 1.0, 1.02);
    });
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
            painter.save();
            painter.translate(i * 25 + 12.5, j * 25 + 12.5);
            painter.rotate((i + j) % 2 == 0 ? 45 : -45);
            const QRectF bar(-9, -2.5, 18, 5);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(150, 156, 164, 110));
            painter.drawRoundedRect(bar.translated(0.8, 1.2), 2.5, 2.5);
            QLinearGradient relief(0, -2.5, 0, 2.5);
            relief.setColorAt(0, QColor(244, 246, 248));
            relief.setColorAt(1, QColor(178, 184, 192));
            painter.setBrush(relief);
            painter.drawRoundedRect(bar, 2.5, 2.5);
            painter.restore();
        }
    return tile;
}

QImage OakChevron() {
    constexpr double Plank = N / 8.0;
    return PixelTile([](double x, double y) {
        const double u = std::fmod(x, 25.0);
        const bool left = u < 12.5;
        const double along = y + std::abs(u - 12.5);
        const int plank = Wrap(int(std::floor(along / Plank)), 8);
        const double edge = std::fmod(along, Plank) / Plank;
        const double tone = Random01(71, plank, (left ? 0 : 1) + 2 * int(x / 25.0));
        double shade = 0.15 + 0.45 * tone + 0.12 * Random01(72, int(x), int(y));
        if (edge < 0.12 || std::abs(u - 12.5) < 0.6)
            shade += 0.35; // the joints between planks
        return Mix(QColor(236, 212, 170), QColor(196, 158, 108), shade);
    });
}

QImage Honeycomb() {
    QImage tile = BlankTile();
    tile.fill(QColor(206, 220, 236));
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr double HalfWidth = N / 6.0;
    constexpr double Radius = N / 6.0;
    for (int row = -1; row <= 4; ++row)
        for (int column = -1; column <= 3; ++column) {
            const QPointF centre(column * 2 * HalfWidth + (row % 2 != 0 ? HalfWidth : 0.0),
                                 row * 1.5 * Radius);
            QPolygonF cell;
            for (const auto& [dx, dy] : std::array<std::pair<double, double>, 6>{
                     {{0, -1}, {1, -0.5}, {1, 0.5}, {0, 1}, {-1, 0.5}, {-1, -0.5}}})
                cell << centre + QPointF(dx * (HalfWidth - 0.8), dy * (Radius - 0.8));
            QRadialGradient glow(centre - QPointF(2, 3), Radius * 1.3);
            glow.setColorAt(0, QColor(238, 244, 250));
            glow.setColorAt(1, QColor(214, 226, 240));
            painter.setBrush(glow);
            painter.setPen(QPen(QColor(184, 202, 224), 1.0));
            painter.drawPolygon(cell);
        }
    return tile;
}

QImage MintPinstripe() {
    return PixelTile([](double x, double y) {
        const int phase = (int(x) + int(y)) % 10;
        const double grain = 0.05 * Random01(91, int(x), int(y));
        QColor colour = Mix(QColor(226, 240, 230), QColor(214, 232, 220), grain * 10);
        if (phase == 0)
            colour = QColor(184, 214, 196);
        else if (phase == 1)
            colour = Mix(colour, QColor(184, 214, 196), 0.4);
        else if (phase == 5)
            colour = QColor(240, 248, 242);
        return colour;
    });
}

QImage GraphPaper() {
    return PixelTile([](double x, double y) {
        const int px = int(x);
        const int py = int(y);
        const QColor paper = Mix(QColor(248, 245, 234), QColor(238, 233, 216), Fractal(x, y, 101));
        if (px == 0 || py == 0)
            return Mix(paper, QColor(150, 178, 196), 0.65);
        if (px % 10 == 0 || py % 10 == 0)
            return Mix(paper, QColor(170, 196, 210), 0.45);
        if (px % 5 == 0 || py % 5 == 0)
            return Mix(paper, QColor(190, 208, 216), 0.2);
        return paper;
    });
}

QImage SoftWaves() {
    return PixelTile([](double x, double y) {
        const double wave = y + 3.0 * std::sin(2 * Pi * 2 * x / N);
        const double band = 0.5 + 0.5 * std::cos(2 * Pi * wave / 12.5);
        const double crest = std::pow(band, 10);
        const QColor water = Mix(QColor(222, 240, 238), QColor(188, 220, 218), std::pow(band, 3));
        return Mix(water, QColor(246, 252, 250), 0.5 * crest);
    });
}

QImage Quilted() {
    return PixelTile([](double x, double y) {
        const double a = std::fmod(x + y, 25.0) / 25.0;
        const double b = std::fmod(x - y + 2 * N, 25.0) / 25.0;
        const double puff = std::sin(Pi * a) * std::sin(Pi * b);
        const bool onSeamA = a < 0.035 || a > 0.965;
        const bool onSeamB = b < 0.035 || b > 0.965;
        const bool stitch = (onSeamA && int((x - y + 2 * N) / 3.125) % 2 == 0) ||
                            (onSeamB && int((x + y) / 3.125) % 2 == 0);
        if (stitch)
            return QColor(204, 170, 160);
        return Mix(QColor(214, 188, 180), QColor(246, 234, 228), 0.35 + 0.65 * std::sqrt(puff));
    });
}

QImage Bricks() {
    return PixelTile([](double x, double y) {
        const int course = int(y / 12.5);
        const double shifted = x + (course % 2 != 0 ? 12.5 : 0.0);
        const double inBrick = std::fmod(shifted, 25.0);
        const double inCourse = std::fmod(y, 12.5);
        if (inBrick < 1.5 || inCourse < 1.5)
            return Mix(QColor(236, 230, 220), QColor(222, 214, 202), Random01(111, int(x), int(y)));
        const int brick = Wrap(int(shifted / 25.0), 2) + 2 * course;
        const double tone = Random01(112, brick, 0);
        const double texture = Fractal(x, y, 113);
        return Mix(QColor(236, 206, 184), QColor(206, 160, 132), 0.25 + 0.4 * tone + 0.3 * texture);
    });
}

QImage LavenderGingham() {
    return PixelTile([](double x, double y) {
        const int bands = int(x / 12.5) % 2 + int(y / 12.5) % 2;
        const std::array<QColor, 3> tones{QColor(240, 236, 248), QColor(224, 214, 240),
                                          QColor(204, 190, 230)};
        const double weave = (int(x) + int(y)) % 2 == 0 ? 0.0 : 0.25;
        return Mix(tones[bands], tones[std::min(bands + 1, 2)], weave);
    });
}

QImage FishScales() {
    QImage tile = BlankTile();
    tile.fill(QColor(206, 228, 218));
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr double Radius = 12.5;
    // Upper rows are drawn last and cover the tops of the rows below them.
    for (int row = 5; row >= -2; --row)
        for (int column = -1; column <= 2; ++column) {
            const QPointF centre(column * 25.0 + (Wrap(row, 2) != 0 ? 12.5 : 0.0), row * 12.5);
            QRadialGradient shade(centre - QPointF(0, 4), Radius * 1.2);
            shade.setColorAt(0, QColor(236, 248, 242));
            shade.setColorAt(1, QColor(192, 220, 206));
            painter.setBrush(shade);
            painter.setPen(QPen(QColor(160, 198, 182), 1.0));
            painter.drawEllipse(centre, Radius - 0.5, Radius - 0.5);
        }
    return tile;
}

QImage PencilCrosshatch() {
    QImage tile = PixelTile([](double x, double y) {
        return Mix(QColor(248, 247, 242), QColor(232, 229, 220), Fractal(x, y, 121));
    });
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr double Spacing = N / 6.0;
    for (int k = -12; k <= 24; ++k) {
        const double c = k * Spacing;
        const int line = Wrap(k, 6);
        painter.setPen(QPen(QColor(90, 92, 110, 30 + int(40 * Random01(122, line, 0))), 0.9));
        painter.drawLine(QPointF(c + 60, -60), QPointF(c - 60, 60));
        painter.setPen(QPen(QColor(90, 92, 110, 20 + int(35 * Random01(123, line, 0))), 0.9));
        painter.drawLine(QPointF(c - 60, -60), QPointF(c + 60, 60));
    }
    return tile;
}

QImage PerforatedSteel() {
    QImage tile = PixelTile([](double x, double y) {
        return Grey(0.85 + 0.03 * (TileNoise(x, y, 2, 50, 131) - 0.5), 0.99, 1.0, 1.02);
    });
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawWrapped(painter, [&] {
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column) {
                const QPointF centre(column * 12.5 + (row % 2 != 0 ? 6.25 : 0.0) + 3.125,
                                     row * 12.5 + 3.125);
                painter.setPen(Qt::NoPen);
                painter.setBrush(QColor(250, 251, 252));
                painter.drawEllipse(centre + QPointF(0.6, 0.6), 2.9, 2.9);
                QRadialGradient hole(centre + QPointF(0.8, 0.8), 2.8);
                hole.setColorAt(0, QColor(176, 182, 190));
                hole.setColorAt(1, QColor(132, 138, 148));
                painter.setBrush(hole);
                painter.drawEllipse(centre, 2.6, 2.6);
            }
    });
    return tile;
}

QImage Marble() {
    return PixelTile([](double x, double y) {
        const double turbulence = Clouds(x, y, 141) + 0.4 * Clouds(x, y, 144);
        const double wave = std::sin(2 * Pi * (x / N + y / N) + 5.0 * turbulence);
        const double vein = std::pow(1.0 - std::abs(wave), 8);
        const QColor stone = Mix(QColor(248, 248, 246), QColor(224, 226, 232), Clouds(x, y, 142));
        return Mix(stone, QColor(170, 178, 194), 0.55 * vein);
    });
}

QImage Cork() {
    return PixelTile([](double x, double y) {
        const double t = 0.5 * TileNoise(x, y, 25, 25, 151) + 0.3 * TileNoise(x, y, 10, 10, 152) +
                         0.2 * Random01(153, int(x), int(y));
        if (t < 0.3)
            return Mix(QColor(176, 138, 98), QColor(200, 164, 122), t / 0.3);
        return Mix(QColor(206, 172, 130), QColor(234, 208, 172), (t - 0.3) / 0.5);
    });
}

QImage Bamboo() {
    return PixelTile([](double x, double y) {
        const int stalk = int(x / 12.5);
        const double u = std::fmod(x, 12.5) / 12.5;
        const double nodeAt = 25.0 * Random01(161, stalk, 0);
        const double fromNode = std::fmod(y - nodeAt + 2 * N, 25.0);
        const double fibre = Random01(162, int(x), 0);
        double shade = 0.35 - 0.3 * std::sin(Pi * u) + 0.06 * fibre;
        if (u < 0.07)
            shade += 0.35; // the gap between stalks
        if (fromNode < 1.2)
            shade += 0.35; // the ring of a node
        else if (fromNode < 2.4)
            shade -= 0.15; // its highlight
        return Mix(QColor(236, 238, 196), QColor(184, 194, 128), shade);
    });
}

QImage Terrazzo() {
    QImage tile = PixelTile([](double x, double y) {
        const double speck = Random01(171, int(x), int(y));
        return Mix(QColor(238, 236, 232), QColor(214, 210, 204), speck > 0.9 ? 0.8 : 0.2 * speck);
    });
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    const std::array<QColor, 5> stones{QColor(214, 160, 136), QColor(168, 190, 168),
                                       QColor(160, 170, 188), QColor(220, 192, 128),
                                       QColor(226, 188, 180)};
    for (int chip = 0; chip < 16; ++chip) {
        const QPointF centre(N * Random01(172, chip, 0), N * Random01(172, chip, 1));
        const double size = 1.4 + 2.2 * Random01(172, chip, 2);
        const int corners = 4 + int(3 * Random01(172, chip, 3));
        QPolygonF shape;
        for (int c = 0; c < corners; ++c) {
            const double angle = 2 * Pi * (c + 0.6 * Random01(173, chip, c)) / corners;
            const double reach = size * (0.7 + 0.5 * Random01(174, chip, c));
            shape << centre + QPointF(reach * std::cos(angle), reach * std::sin(angle));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(stones[chip % stones.size()]);
        DrawWrapped(painter, [&] { painter.drawPolygon(shape); });
    }
    return tile;
}

QImage Chambray() {
    return PixelTile([](double x, double y) {
        const bool warpOnTop = (int(x) + int(y)) % 2 == 0;
        const double slub = warpOnTop ? TileNoise(x, y, 50, 2, 181) : TileNoise(x, y, 2, 50, 182);
        const double wash = Fractal(x, y, 183);
        const QColor warp = Mix(QColor(176, 198, 226), QColor(196, 214, 234), slub);
        const QColor weft = Mix(QColor(218, 228, 240), QColor(234, 240, 248), slub);
        return Mix(warpOnTop ? warp : weft, QColor(236, 242, 248), 0.35 * wash);
    });
}

using TileArtwork = QImage (*)();

// Skin s uses entry s − 1.
constexpr std::array<TileArtwork, TSkins::SkinCount - 1> Artwork{
    BrushedAluminium, MapleWood,       SilverCarbon, Linen,
    Parchment,        TreadPlate,      OakChevron,   Honeycomb,
    MintPinstripe,    GraphPaper,      SoftWaves,    Quilted,
    Bricks,           LavenderGingham, FishScales,   PencilCrosshatch,
    PerforatedSteel,  Marble,          Cork,         Bamboo,
    Terrazzo,         Chambray};

} // namespace

TSkins::TSkins(QObject* parent) : QObject(parent) {}

QImage TSkins::SkinTile(int skin) {
    if (skin < 1 || skin >= SkinCount)
        return {};
    return Artwork[static_cast<std::size_t>(skin - 1)]();
}

void TSkins::NextSkin(QSize patternEditorSize) {
    ++FSkinNumber;
    if (FSkinNumber < 0 || FSkinNumber > SkinCount - 1)
        FSkinNumber = 0;
    if (FSkinNumber != 0)
        BuildSkinBitmap(patternEditorSize);
    emit SkinChanged(FSkinNumber);
}

void TSkins::BuildSkinBitmap(QSize patternEditorSize) {
    const QImage tile = SkinTile(FSkinNumber);
    const int editorWidth = std::max(patternEditorSize.width(), 0);
    const int editorHeight = std::max(patternEditorSize.height(), 0);
    QPixmap bitmap(tile.width() + editorWidth, tile.height() + editorHeight);
    QPainter painter(&bitmap);
    // Two rows and columns more than the editor needs.
    for (int row = 0; row <= editorHeight / TileSize + 1; ++row)
        for (int column = 0; column <= editorWidth / TileSize + 1; ++column)
            painter.drawImage(column * tile.width(), row * tile.height(), tile);
    painter.end();
    FSkinBitmap = bitmap;
}

void TSkins::PaintSkin(QPainter& painter) const {
    if (FSkinNumber != 0 && !FSkinBitmap.isNull())
        painter.drawPixmap(0, 0, FSkinBitmap);
}

void TSkins::Attach(QWidget* window) {
    connect(this, &TSkins::SkinChanged, window, qOverload<>(&QWidget::update));
    window->installEventFilter(this);
}

bool TSkins::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched->isWidgetType()) {
        QPainter painter(static_cast<QWidget*>(watched));
        PaintSkin(painter);
    }
    return false;
}
