#include "FormPositions.h"

#include <QGuiApplication>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

void PlacePatternEditor(TWindowRects& w, const TLayoutState& layout) {
    if (layout.PatternPlace == dpAbove) {
        w.P.Left = w.M.Left;
        w.P.Top = w.M.Top - w.P.Height;
    } else if (layout.PatternPlace == dpBelow) {
        w.P.Left = w.M.Left;
        w.P.Top = w.M.Top + w.M.Height;
    }
}

void PlaceTrackEditor(TWindowRects& w, const TLayoutState& layout) {
    if (layout.TrackSide == dpLeft) {
        w.T.Left = w.P.Left - w.T.Width;
        w.T.Top = w.P.Top;
        if (!layout.ServerMoved)
            w.S.Left = w.M.Left - w.S.Width;
    } else if (layout.TrackSide == dpRight) {
        w.T.Left = w.P.Left + w.P.Width;
        w.T.Top = w.P.Top;
        if (!layout.ServerMoved)
            w.S.Left = w.M.Left + w.M.Width;
    }
}

void Remember(const TWindowRects& w, TLayoutState& layout) {
    layout.MainLeft = w.M.Left;
    layout.MainTop = w.M.Top;
    layout.PatternLeft = w.P.Left;
    layout.PatternTop = w.P.Top;
    layout.TrackLeft = w.T.Left;
    layout.TrackTop = w.T.Top;
}

} // namespace

void ArrangeWindows(TWindowRects& w, TLayoutState& layout) {
    if (layout.ServerMoved)
        w.M.Left = layout.TrackSide == dpLeft ? w.S.Left + w.S.Width : w.S.Left - w.M.Width;
    if (layout.PatternDocked)
        PlacePatternEditor(w, layout);
    if (layout.TrackDocked)
        PlaceTrackEditor(w, layout);
    Remember(w, layout);
    w.S.Top = w.M.Top;
    layout.ServerMoved = false;
}

void PatternDragStarted(TLayoutState& layout) {
    layout.PatternDocked = false;
}

void TrackDragStarted(TLayoutState& layout) {
    layout.TrackDocked = false;
}

void PatternDropped(TWindowRects& w, TLayoutState& layout, TDropPoint drop) {
    const int32_t bottomOfPattern = drop.Y + w.P.Height;
    if (w.M.Top < bottomOfPattern && bottomOfPattern < w.M.Top + SnapDistance) {
        layout.PatternPlace = dpAbove;
        layout.PatternDocked = true;
    }
    const int32_t bottomOfMain = w.M.Top + w.M.Height;
    if (bottomOfMain - SnapDistance < drop.Y && drop.Y < bottomOfMain) {
        layout.PatternPlace = dpBelow;
        layout.PatternDocked = true;
    }
    ArrangeWindows(w, layout);
}

void TrackDropped(TWindowRects& w, TLayoutState& layout, TDropPoint drop) {
    const int32_t grip = drop.X - w.T.Left; // where on its caption the track editor was held
    ArrangeWindows(w, layout);
    const TWindowRect& p = w.P;
    if (p.Top - 2 * SnapDistance < drop.Y && drop.Y < p.Top + 2 * SnapDistance) {
        bool snapped = false;
        const int32_t trackLeft = drop.X - grip;
        if (p.Left + p.Width - SnapDistance < trackLeft && trackLeft < p.Left + p.Width) {
            layout.TrackSide = dpRight;
            snapped = true;
        }
        const int32_t trackRight = w.T.Left + w.T.Width;
        if (p.Left < trackRight && trackRight < p.Left + SnapDistance) {
            layout.TrackSide = dpLeft;
            snapped = true;
        }
        if (snapped) {
            layout.TrackDocked = true;
            w.T.Height = p.Height;
        }
    }
    ArrangeWindows(w, layout);
}

void ServerDropped(TWindowRects& w, TLayoutState& layout, TDropPoint drop) {
    w.M.Top = w.S.Top;
    w.T.Left = w.S.Left;
    const int32_t centre = w.M.Left + w.M.Width / 2;
    if (drop.X < centre)
        layout.TrackSide = dpLeft;
    else if (drop.X > centre)
        layout.TrackSide = dpRight;
    layout.ServerMoved = true;
    ArrangeWindows(w, layout);
}

void MainDropped(TWindowRects& w, TLayoutState& layout) {
    ArrangeWindows(w, layout);
}

void TakeRememberedPositions(TWindowRects& w, const TLayoutState& layout) {
    w.M.Left = layout.MainLeft;
    w.M.Top = layout.MainTop;
    w.P.Left = layout.PatternLeft;
    w.P.Top = layout.PatternTop;
    w.T.Left = layout.TrackLeft;
    w.T.Top = layout.TrackTop;
}

void PlaceServerAtStart(TWindowRects& w, TLayoutState& layout) {
    w.S.Left = w.T.Left;
    w.S.Top = w.M.Top;
    w.S.Width = w.T.Width;
    w.S.Height = w.M.Height;
    ArrangeWindows(w, layout);
}

namespace {
// Past this machine number a machine would be off every screen.
constexpr int32_t MaxLayoutMachine = 1000;
} // namespace

bool MachineLayout(int layout, int32_t n, TWindowRects& w, TLayoutState& state, bool& serverShown) {
    if (layout < 1 || layout > 3)
        return false;
    // A machine that was never connected places itself as machine 1. Past the bound a machine
    // would be off every screen; it keeps the positions within the integer range.
    n = std::clamp(n, 1, MaxLayoutMachine);
    // A column is as wide as the widest row it holds, so neighbouring machines never overlap.
    const int32_t dockedColumn = std::max(w.M.Width + w.S.Width, w.P.Width + w.T.Width);
    const int32_t freeColumn = std::max(w.M.Width, w.P.Width);
    if (layout == 3) {
        serverShown = false;
        state.PatternDocked = false;
        state.TrackDocked = false;
        state.PatternPlace = dpAbove;
        w.T.Top = 2 * (w.P.Height + 20);
        w.T.Left = (n - 1) * w.T.Width;
        const bool firstRow = n <= 2;
        w.M.Top = firstRow ? 0 : w.P.Height + 20;
        w.P.Top = firstRow ? 20 : w.P.Height + 40;
        w.P.Left = w.M.Left = (n - (firstRow ? 1 : 3)) * freeColumn;
        return true;
    }
    serverShown = true;
    state.PatternDocked = true;
    state.TrackDocked = true;
    state.TrackSide = dpRight;
    state.PatternPlace = dpBelow;
    if (n <= 2) {
        w.M.Top = 0;
        w.M.Left = dockedColumn * (n - 1);
    } else {
        w.M.Left = dockedColumn * (n - 3);
        w.M.Top = layout == 1 ? w.M.Height + w.P.Height : w.M.Height + 2 * w.P.Height;
        if (layout == 2)
            state.PatternPlace = dpAbove;
    }
    return true;
}

namespace {

// How far a stretch starting at `start` must move to lie within the area's stretch; one longer
// than the area keeps its start inside.
int32_t ShiftInto(int32_t start, int32_t length, int32_t areaStart, int32_t areaLength) {
    const int32_t shift = std::min(0, areaStart + areaLength - (start + length));
    return std::max(shift, areaStart - start);
}

void MoveGroupInto(const std::vector<TWindowRect*>& group, const TWindowRect& area) {
    if (group.empty())
        return;
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (const TWindowRect* rect : group) {
        left = std::min(left, rect->Left);
        top = std::min(top, rect->Top);
        right = std::max(right, rect->Left + rect->Width);
        bottom = std::max(bottom, rect->Top + rect->Height);
    }
    const int32_t dx = ShiftInto(left, right - left, area.Left, area.Width);
    const int32_t dy = ShiftInto(top, bottom - top, area.Top, area.Height);
    for (TWindowRect* rect : group) {
        rect->Left += dx;
        rect->Top += dy;
    }
}

} // namespace

void KeepWithin(TWindowRects& w, TLayoutState& layout, const TWindowRect& area, bool serverShown) {
    std::vector<TWindowRect*> withMain{&w.M}, withPattern, alone;
    if (serverShown)
        withMain.push_back(&w.S);
    std::vector<TWindowRect*>& patternGroup = layout.PatternDocked ? withMain : withPattern;
    patternGroup.push_back(&w.P);
    (layout.TrackDocked ? patternGroup : alone).push_back(&w.T);
    for (const auto* group : {&withMain, &withPattern, &alone})
        MoveGroupInto(*group, area);
    ArrangeWindows(w, layout);
}

// ---- Qt adapter ----

namespace {

TWindowRect ReadRect(const QWidget* window) {
    if (!window)
        return {};
    const QRect frame = window->frameGeometry();
    return {frame.x(), frame.y(), frame.width(), frame.height()};
}

void ApplyRect(QWidget* window, const TWindowRect& rect) {
    if (!window)
        return;
    const QRect frame = window->frameGeometry();
    if (frame.width() != rect.Width || frame.height() != rect.Height) {
        // The frame's own width and height stay; the client area takes the difference.
        const int frameWidth = frame.width() - window->width();
        const int frameHeight = frame.height() - window->height();
        window->resize(rect.Width - frameWidth, rect.Height - frameHeight);
    }
    if (frame.x() != rect.Left || frame.y() != rect.Top)
        window->move(rect.Left, rect.Top); // a window's position is that of its frame
}

TDropPoint ToDropPoint(const QPoint& point) {
    return {point.x(), point.y()};
}

template <typename Rule> void WithRects(const TWindowSet& windows, Rule rule) {
    TWindowRects rects = ReadWindowRects(windows);
    rule(rects);
    ApplyWindowRects(windows, rects);
}

} // namespace

TWindowRects ReadWindowRects(const TWindowSet& windows) {
    return {ReadRect(windows.Main), ReadRect(windows.Pattern), ReadRect(windows.Track),
            ReadRect(windows.Server)};
}

void ApplyWindowRects(const TWindowSet& windows, const TWindowRects& w) {
    ApplyRect(windows.Main, w.M);
    ApplyRect(windows.Pattern, w.P);
    ApplyRect(windows.Track, w.T);
    ApplyRect(windows.Server, w.S);
}

void ArrangeWindows(const TWindowSet& windows, TLayoutState& layout) {
    WithRects(windows, [&](TWindowRects& w) { ArrangeWindows(w, layout); });
}

void PatternDropped(const TWindowSet& windows, TLayoutState& layout, const QPoint& drop) {
    WithRects(windows, [&](TWindowRects& w) { PatternDropped(w, layout, ToDropPoint(drop)); });
}

void TrackDropped(const TWindowSet& windows, TLayoutState& layout, const QPoint& drop) {
    WithRects(windows, [&](TWindowRects& w) { TrackDropped(w, layout, ToDropPoint(drop)); });
}

void ServerDropped(const TWindowSet& windows, TLayoutState& layout, const QPoint& drop) {
    WithRects(windows, [&](TWindowRects& w) { ServerDropped(w, layout, ToDropPoint(drop)); });
}

void MainDropped(const TWindowSet& windows, TLayoutState& layout) {
    WithRects(windows, [&](TWindowRects& w) { MainDropped(w, layout); });
}

void TakeRememberedPositions(const TWindowSet& windows, const TLayoutState& layout) {
    WithRects(windows, [&](TWindowRects& w) { TakeRememberedPositions(w, layout); });
}

void PlaceServerAtStart(const TWindowSet& windows, TLayoutState& layout) {
    WithRects(windows, [&](TWindowRects& w) { PlaceServerAtStart(w, layout); });
}

void KeepWithin(const TWindowSet& windows, TLayoutState& layout, const QRect& area,
                bool serverShown) {
    const TWindowRect inside{area.x(), area.y(), area.width(), area.height()};
    WithRects(windows, [&](TWindowRects& w) { KeepWithin(w, layout, inside, serverShown); });
}

void MoveOntoScreen(QWidget& window, int left, int top) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        left = std::clamp(left, area.left(), std::max(area.left(), area.right() - window.width()));
        top = std::clamp(top, area.top(), std::max(area.top(), area.bottom() - window.height()));
    }
    window.move(left, top);
}
