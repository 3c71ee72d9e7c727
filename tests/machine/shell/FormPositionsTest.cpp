#include "shell/FormPositions.h"

#include <QPoint>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Main window 398 x 129 at (100, 200); the editors and the server window wherever they were
// last dropped.
TWindowRects Windows() {
    TWindowRects w;
    w.M = {100, 200, 398, 129};
    w.P = {400, 600, 600, 300};
    w.T = {1100, 650, 200, 280};
    w.S = {0, 0, 150, 129};
    return w;
}

TLayoutState Docked(uint8_t place, uint8_t side) {
    TLayoutState layout;
    layout.PatternPlace = place;
    layout.TrackSide = side;
    return layout;
}

void ExpectRemembered(const TWindowRects& w, const TLayoutState& layout) {
    EXPECT_EQ(layout.MainLeft, w.M.Left);
    EXPECT_EQ(layout.MainTop, w.M.Top);
    EXPECT_EQ(layout.PatternLeft, w.P.Left);
    EXPECT_EQ(layout.PatternTop, w.P.Top);
    EXPECT_EQ(layout.TrackLeft, w.T.Left);
    EXPECT_EQ(layout.TrackTop, w.T.Top);
}

// The pattern editor is dragged and dropped with its top at dropTop.
TLayoutState DropPattern(TWindowRects& w, int32_t dropTop) {
    TLayoutState layout = Docked(dpBelow, dpRight);
    PatternDragStarted(layout);
    w.P.Top = dropTop;
    PatternDropped(w, layout, {w.P.Left + 50, dropTop});
    return layout;
}

// The track editor is dragged, held 10 pixels from its left edge, and dropped at (left, top).
TLayoutState DropTrack(TWindowRects& w, TLayoutState layout, int32_t left, int32_t top) {
    TrackDragStarted(layout);
    w.T.Left = left;
    w.T.Top = top;
    TrackDropped(w, layout, {left + 10, top + 5});
    return layout;
}

} // namespace

TEST(ArrangeWindows, DockedBelowAndRight) {
    TWindowRects w = Windows();
    TLayoutState layout = Docked(dpBelow, dpRight);
    ArrangeWindows(w, layout);
    EXPECT_EQ(w.P, (TWindowRect{100, 329, 600, 300}));
    EXPECT_EQ(w.T, (TWindowRect{700, 329, 200, 280}));
    EXPECT_EQ(w.S, (TWindowRect{498, 200, 150, 129}));
    EXPECT_EQ(w.M, Windows().M);
    ExpectRemembered(w, layout);
}

TEST(ArrangeWindows, DockedAboveAndLeft) {
    TWindowRects w = Windows();
    TLayoutState layout = Docked(dpAbove, dpLeft);
    ArrangeWindows(w, layout);
    EXPECT_EQ(w.P, (TWindowRect{100, -100, 600, 300}));
    EXPECT_EQ(w.T, (TWindowRect{-100, -100, 200, 280}));
    EXPECT_EQ(w.S, (TWindowRect{-50, 200, 150, 129}));
    ExpectRemembered(w, layout);
}

TEST(ArrangeWindows, FreeWindowsStayAndTheServerFollowsOnlyTheTop) {
    TWindowRects w = Windows();
    TLayoutState layout = Docked(dpBelow, dpRight);
    layout.PatternDocked = false;
    layout.TrackDocked = false;
    ArrangeWindows(w, layout);
    TWindowRects expected = Windows();
    expected.S.Top = 200;
    EXPECT_EQ(w, expected);
    ExpectRemembered(w, layout);

    // A docked track editor follows a free pattern editor.
    w = Windows();
    layout.TrackDocked = true;
    ArrangeWindows(w, layout);
    EXPECT_EQ(w.T, (TWindowRect{1000, 600, 200, 280}));
}

TEST(PatternSnap, DropNearTheMainWindowsBottomDocksBelow) {
    TWindowRects w = Windows();
    TLayoutState layout = DropPattern(w, 329 - 10);
    EXPECT_TRUE(layout.PatternDocked);
    EXPECT_EQ(layout.PatternPlace, dpBelow);
    EXPECT_EQ(w.P.Left, 100);
    EXPECT_EQ(w.P.Top, 329);
    EXPECT_EQ(w.T.Left, 700); // the track editor follows
    ExpectRemembered(w, layout);

    for (int32_t above : {25, 20, 0}) {
        SCOPED_TRACE(above);
        w = Windows();
        layout = DropPattern(w, 329 - above);
        EXPECT_FALSE(layout.PatternDocked);
        EXPECT_EQ(w.P, (TWindowRect{400, 329 - above, 600, 300}));
        EXPECT_EQ(layout.PatternTop, 329 - above);
    }
}

TEST(PatternSnap, DropWithTheBottomJustBelowTheMainWindowsTopDocksAbove) {
    TWindowRects w = Windows();
    TLayoutState layout = DropPattern(w, 200 + 10 - 300);
    EXPECT_TRUE(layout.PatternDocked);
    EXPECT_EQ(layout.PatternPlace, dpAbove);
    EXPECT_EQ(w.P.Top, -100);

    for (int32_t into : {0, 20}) {
        SCOPED_TRACE(into);
        w = Windows();
        layout = DropPattern(w, 200 + into - 300);
        EXPECT_FALSE(layout.PatternDocked);
        EXPECT_EQ(layout.PatternPlace, dpBelow);
    }
}

TEST(TrackSnap, LeftEdgeJustInsideThePatternEditorsRightEdgeDocksRight) {
    // The pattern editor is docked below the main window: its right edge is at 700, its top 329.
    TWindowRects w = Windows();
    TLayoutState layout = DropTrack(w, Docked(dpBelow, dpLeft), 690, 329 + 30);
    EXPECT_TRUE(layout.TrackDocked);
    EXPECT_EQ(layout.TrackSide, dpRight);
    EXPECT_EQ(w.T, (TWindowRect{700, 329, 200, 300})); // takes the pattern editor's height
    EXPECT_EQ(w.S.Left, 498);
    ExpectRemembered(w, layout);

    for (int32_t left : {700, 680}) {
        SCOPED_TRACE(left);
        w = Windows();
        layout = DropTrack(w, Docked(dpBelow, dpLeft), left, 329);
        EXPECT_FALSE(layout.TrackDocked);
        EXPECT_EQ(w.T, (TWindowRect{left, 329, 200, 280}));
    }
}

TEST(TrackSnap, RightEdgeJustInsideThePatternEditorsLeftEdgeDocksLeft) {
    TWindowRects w = Windows();
    TLayoutState layout = DropTrack(w, Docked(dpBelow, dpRight), 100 + 5 - 200, 329 - 30);
    EXPECT_TRUE(layout.TrackDocked);
    EXPECT_EQ(layout.TrackSide, dpLeft);
    EXPECT_EQ(w.T, (TWindowRect{-100, 329, 200, 300}));
    EXPECT_EQ(w.S.Left, 100 - 150);
}

TEST(TrackSnap, OnlyWithinTwiceTheSnapDistanceVertically) {
    for (int32_t offset : {-40, 40, 200}) {
        SCOPED_TRACE(offset);
        TWindowRects w = Windows();
        // The drop point lies 5 pixels below the track editor's top.
        const TLayoutState layout = DropTrack(w, Docked(dpBelow, dpRight), 690, 329 + offset - 5);
        EXPECT_FALSE(layout.TrackDocked);
        EXPECT_EQ(w.T.Left, 690);
        EXPECT_EQ(w.T.Height, 280);
    }
}

TEST(ServerSnap, DropLeftOfTheMainWindowsCentrePutsEverythingToItsRight) {
    TWindowRects w = Windows();
    TLayoutState layout = Docked(dpBelow, dpRight);
    w.S.Left = 20;
    w.S.Top = 50;
    ServerDropped(w, layout, {100 + 398 / 2 - 1, 60});
    EXPECT_EQ(layout.TrackSide, dpLeft);
    EXPECT_FALSE(layout.ServerMoved);
    EXPECT_EQ(w.M, (TWindowRect{170, 50, 398, 129}));
    EXPECT_EQ(w.S, (TWindowRect{20, 50, 150, 129}));
    EXPECT_EQ(w.P.Left, 170);
    EXPECT_EQ(w.P.Top, 179);
    EXPECT_EQ(w.T.Left, 170 - 200);
    ExpectRemembered(w, layout);

    // The next arrangement places the server window by the main window again.
    ArrangeWindows(w, layout);
    EXPECT_EQ(w.S.Left, 170 - 150);
}

TEST(ServerSnap, DropRightOfTheCentreAndOnTheCentre) {
    TWindowRects w = Windows();
    TLayoutState layout = Docked(dpBelow, dpLeft);
    w.S.Left = 900;
    w.S.Top = 300;
    ServerDropped(w, layout, {100 + 398 / 2 + 1, 310});
    EXPECT_EQ(layout.TrackSide, dpRight);
    EXPECT_EQ(w.M, (TWindowRect{900 - 398, 300, 398, 129}));
    EXPECT_EQ(w.S.Left, 900);
    EXPECT_EQ(w.T.Left, 502 + 600);

    // Exactly on the centre the side stays; a free track editor lands on the server window.
    w = Windows();
    layout = Docked(dpBelow, dpLeft);
    layout.TrackDocked = false;
    w.S.Left = 40;
    ServerDropped(w, layout, {100 + 398 / 2, 10});
    EXPECT_EQ(layout.TrackSide, dpLeft);
    EXPECT_EQ(w.T.Left, 40);
    EXPECT_EQ(w.M.Left, 40 + 150);
}

TEST(StartUp, ServerWindowTakesTheTrackEditorsWidthAndTheMainWindowsHeight) {
    TWindowRects w = Windows();
    TLayoutState layout = Docked(dpBelow, dpRight);
    layout.MainLeft = 30;
    layout.MainTop = 40;
    layout.PatternLeft = 30;
    layout.PatternTop = 169;
    layout.TrackLeft = 630;
    layout.TrackTop = 169;
    TakeRememberedPositions(w, layout);
    PlaceServerAtStart(w, layout);
    EXPECT_EQ(w.M, (TWindowRect{30, 40, 398, 129}));
    EXPECT_EQ(w.T, (TWindowRect{630, 169, 200, 280}));
    EXPECT_EQ(w.S, (TWindowRect{30 + 398, 40, 200, 129}));
}

TEST(WindowAdapter, ArrangesAndResizesRealWindows) {
    QWidget main, pattern, track, server;
    main.setGeometry(100, 200, 398, 129);
    pattern.setGeometry(400, 600, 600, 300);
    track.setGeometry(1100, 650, 200, 280);
    server.setGeometry(0, 0, 150, 129);
    const TWindowSet set{&main, &pattern, &track, &server};
    EXPECT_EQ(ReadWindowRects(set), Windows());

    TLayoutState layout = Docked(dpBelow, dpLeft);
    TrackDragStarted(layout);
    track.move(690, 330);
    TrackDropped(set, layout, QPoint(700, 340));
    EXPECT_TRUE(layout.TrackDocked);
    EXPECT_EQ(pattern.frameGeometry().topLeft(), QPoint(100, 329));
    EXPECT_EQ(track.frameGeometry(), QRect(700, 329, 200, 300));
    EXPECT_EQ(server.frameGeometry(), QRect(498, 200, 150, 129));
    EXPECT_EQ(layout.TrackLeft, 700);
}

TEST(MachineLayout, PlacesTheFourMachinesInTwoRows) {
    TWindowRects w;
    w.M = {0, 0, 398, 129};
    w.P = {0, 0, 392, 296};
    w.T = {0, 0, 170, 296};
    w.S = {0, 0, 145, 95};
    TLayoutState state;
    bool shown = false;
    EXPECT_FALSE(MachineLayout(4, 1, w, state, shown));
    ASSERT_TRUE(MachineLayout(1, 2, w, state, shown));
    EXPECT_TRUE(shown);
    EXPECT_EQ(w.M.Left, 392 + 170) << "the editors' row is the wider one: no overlap";
    EXPECT_EQ(w.M.Top, 0);
    EXPECT_EQ(state.PatternPlace, dpBelow);
    EXPECT_EQ(state.TrackSide, dpRight);
    ASSERT_TRUE(MachineLayout(2, 4, w, state, shown));
    EXPECT_EQ(w.M.Left, 392 + 170);
    EXPECT_EQ(w.M.Top, 129 + 2 * 296);
    EXPECT_EQ(state.PatternPlace, dpAbove);
    ASSERT_TRUE(MachineLayout(3, 4, w, state, shown));
    EXPECT_EQ(w.P.Left, 398) << "the main window is the wider one here";
    ASSERT_TRUE(MachineLayout(3, 3, w, state, shown));
    EXPECT_FALSE(shown);
    EXPECT_EQ(w.M.Top, 296 + 20);
    EXPECT_EQ(w.P.Top, 296 + 40);
    EXPECT_EQ(w.P.Left, 0);
    EXPECT_EQ(w.T.Left, 2 * 170);
    EXPECT_EQ(w.T.Top, 2 * (296 + 20));
}

namespace {

// Four connected machines' windows as a desktop frames them, laid out and kept within `area`.
struct TLaidOut {
    TWindowRects w;
    TLayoutState state;
    bool serverShown = false;
};

TLaidOut LayOut(int layout, int32_t n, const TWindowRect& area) {
    TLaidOut out;
    out.w.M = {0, 0, 402, 132};
    out.w.P = {0, 0, 396, 292};
    out.w.T = {0, 0, 180, 292};
    out.w.S = {0, 0, 150, 132};
    EXPECT_TRUE(MachineLayout(layout, n, out.w, out.state, out.serverShown));
    ArrangeWindows(out.w, out.state);
    KeepWithin(out.w, out.state, area, out.serverShown);
    return out;
}

bool Within(const TWindowRect& r, const TWindowRect& area) {
    return r.Left >= area.Left && r.Top >= area.Top && r.Left + r.Width <= area.Left + area.Width &&
           r.Top + r.Height <= area.Top + area.Height;
}

} // namespace

TEST(MachineLayout, OnASmallScreenEveryWindowMovesInAndTheRowsKeepTheirOrder) {
    const TWindowRect small{0, 24, 1366, 744}; // a panel takes the top 24 pixels
    for (int layout = 1; layout <= 3; ++layout)
        for (int32_t n = 1; n <= 4; ++n) {
            SCOPED_TRACE(testing::Message() << "layout " << layout << ", machine " << n);
            const TLaidOut m = LayOut(layout, n, small);
            for (const TWindowRect* window : {&m.w.M, &m.w.P, &m.w.T})
                EXPECT_TRUE(Within(*window, small));
            EXPECT_TRUE(!m.serverShown || Within(m.w.S, small));
            ExpectRemembered(m.w, m.state);
            const TLaidOut first = LayOut(layout, n <= 2 ? n : n - 2, small);
            EXPECT_TRUE(n <= 2 || m.w.M.Top > first.w.M.Top) << "the second row below the first";
            EXPECT_TRUE(layout != 2 || n <= 2 || m.w.P.Top + m.w.P.Height == m.w.M.Top)
                << "the pattern editor docked above the main window";
            EXPECT_TRUE(layout != 3 || m.w.T.Top > m.w.P.Top)
                << "the track editors below the pattern editors";
        }

    const TWindowRect large{0, 0, 1920, 1200};
    const TLaidOut fourth = LayOut(2, 4, large);
    EXPECT_EQ(fourth.w.M.Top, 132 + 2 * 292) << "where the screen holds it, it stays";
    EXPECT_EQ(fourth.w.M.Left, 396 + 180);
    EXPECT_EQ(LayOut(3, 4, large).w.T.Top, 2 * (292 + 20));
}
