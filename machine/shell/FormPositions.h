#pragma once

#include "iniform.h"

#include <cstdint>

// Placement of the machine's four windows: main window M, pattern editor P, track editor T and
// server window S. The pattern editor docks above or below the main window, the track editor
// left or right of the pattern editor, and the server window stands beside the main window on
// the track editor's side. Every rule works on plain outer rectangles; the Qt adapter below
// reads them from and applies them to the windows.

// How close a dropped window must come to snap, in pixels.
constexpr int32_t SnapDistance = 20;

struct TWindowRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    bool operator==(const TWindowRect&) const = default;
};

struct TWindowRects {
    TWindowRect M; // main window
    TWindowRect P; // pattern editor
    TWindowRect T; // track editor
    TWindowRect S; // server window

    bool operator==(const TWindowRects&) const = default;
};

// A drop point: the mouse position in screen co-ordinates at the end of a drag.
struct TDropPoint {
    int32_t X = 0;
    int32_t Y = 0;
};

// Places the docked windows, puts the server window beside the main window at its top and
// remembers the left and top of M, P and T. Clears ServerMoved.
void ArrangeWindows(TWindowRects& w, TLayoutState& layout);

// The user started dragging the pattern editor or the track editor: it leaves its dock.
void PatternDragStarted(TLayoutState& layout);
void TrackDragStarted(TLayoutState& layout);

// The user dropped a window; each ends with ArrangeWindows.
void PatternDropped(TWindowRects& w, TLayoutState& layout, TDropPoint drop);
void TrackDropped(TWindowRects& w, TLayoutState& layout, TDropPoint drop);
void ServerDropped(TWindowRects& w, TLayoutState& layout, TDropPoint drop);
void MainDropped(TWindowRects& w, TLayoutState& layout);

// M, P and T take their remembered positions (their sizes stay).
void TakeRememberedPositions(TWindowRects& w, const TLayoutState& layout);

// End of start-up: the server window takes the track editor's left and width and the main
// window's top and height, then everything is arranged.
void PlaceServerAtStart(TWindowRects& w, TLayoutState& layout);

// The window places of the remote "LAYOUT" command for machine number n: 1 and 2 place the
// machine's windows in two rows of docked windows (2 with the pattern editor above the main
// window in the second row), 3 undocks the editors into a row of their own. Returns false,
// changing nothing, for any other layout. `serverShown` tells whether the server window shows.
bool MachineLayout(int layout, int32_t n, TWindowRects& w, TLayoutState& state, bool& serverShown);

// Moves windows that would leave `area` (the available area of the desktop) back into it, keeping
// how they stand to each other: the main window with the windows docked to it and the shown server
// window move as one, an undocked pattern editor with a track editor docked to it as another, an
// undocked track editor alone. A group larger than the area keeps its left and top edge inside.
// Windows within the area stay where they are. Ends with ArrangeWindows.
void KeepWithin(TWindowRects& w, TLayoutState& layout, const TWindowRect& area, bool serverShown);

// ---- Qt adapter ----

class QWidget;
class QPoint;
class QRect;

// The four top-level windows. Left and top are those of the frame; width and height are the
// outer (frame) size.
struct TWindowSet {
    QWidget* Main = nullptr;
    QWidget* Pattern = nullptr;
    QWidget* Track = nullptr;
    QWidget* Server = nullptr;
};

TWindowRects ReadWindowRects(const TWindowSet& windows);
// Moves (and resizes) only the windows whose rectangle differs from what they have now.
void ApplyWindowRects(const TWindowSet& windows, const TWindowRects& w);

void ArrangeWindows(const TWindowSet& windows, TLayoutState& layout);
void PatternDropped(const TWindowSet& windows, TLayoutState& layout, const QPoint& drop);
void TrackDropped(const TWindowSet& windows, TLayoutState& layout, const QPoint& drop);
void ServerDropped(const TWindowSet& windows, TLayoutState& layout, const QPoint& drop);
void MainDropped(const TWindowSet& windows, TLayoutState& layout);
void TakeRememberedPositions(const TWindowSet& windows, const TLayoutState& layout);
void PlaceServerAtStart(const TWindowSet& windows, TLayoutState& layout);
void KeepWithin(const TWindowSet& windows, TLayoutState& layout, const QRect& area,
                bool serverShown);

// Moves `window` to `left`, `top`, or as near as keeps it whole on the primary screen's available
// area (a position saved on a larger screen, a place beside another window).
void MoveOntoScreen(QWidget& window, int left, int top);
