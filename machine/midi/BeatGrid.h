#pragma once

#include "TempoBar.h"

#include <array>
#include <atomic>
#include <cstdint>

// The beat grid of a session that several programs share (Ableton Link's), as playback follows
// it: a beat is a quarter note, four steps.

// The tempi the machine can play: those of the tempo bar (four steps to the beat).
inline constexpr double GridMinBpm = 15000.0 / TempoBar::MaxStepTime;
inline constexpr double GridMaxBpm = 15000.0 / TempoBar::MinStepTime;

// How late a message may still go out: one whose moment lies further back is left out (a note-off
// excepted), and a start further back waits for the next bar line.
inline constexpr int64_t GridMaxLateNs = 20000000;

// One look at the session: its tempo, the grid playback follows (beats against
// CLOCK_MONOTONIC), where its bars begin and whether it plays.
struct TBeatSnapshot {
    uint64_t Commits = 0;  // the peer's own changes this look already shows
    double Bpm = 0;        // the session's tempo, which may lie outside the machine's
    double OriginBeat = 0; // the grid: beat OriginBeat at OriginNs, NsPerBeat apart
    int64_t OriginNs = 0;  // CLOCK_MONOTONIC
    double NsPerBeat = 0;  // the session's pace, or the nearest end of the machine's range
    double BarOffset = 0;  // bars begin at the beats congruent to it modulo Quantum
    double Quantum = 4;    // beats per bar
    bool Playing = false;  // the session's start/stop state
    int64_t PlayingNs = 0; // when it last started or stopped (CLOCK_MONOTONIC)

    bool Valid() const noexcept { return NsPerBeat > 0; }
    double BeatAt(int64_t ns) const noexcept;
    int64_t TimeAt(double beat) const noexcept;
    // The first bar line at or after `beat`.
    double NextBar(double beat) const noexcept;
    bool operator==(const TBeatSnapshot&) const = default;
};

// What the session showed at one moment (Link's session state, captured by a peer).
struct TSessionSample {
    uint64_t Commits = 0;
    int64_t Ns = 0;       // the moment, CLOCK_MONOTONIC
    double Bpm = 0;       // the session's tempo
    double Beat = 0;      // the beat at Ns
    double BeatLater = 0; // the beat one second after Ns (the exact pace)
    double BarPhase = 0;  // the phase within the bar at Ns, 0 <= BarPhase < Quantum
    double Quantum = 4;
    bool Playing = false;
    int64_t PlayingNs = 0;
};

// The grid playback follows after `sample`, given the one it followed before: the session's
// own while its tempo lies within the machine's range; outside it, a grid at the nearest end of
// the range that goes on from where the one before stood (no jump).
TBeatSnapshot NextSnapshot(const TBeatSnapshot& before, const TSessionSample& sample) noexcept;

// Where a start of playback lies on the grid: the first bar line at or after AfterNs, on a look
// that shows at least `Commits` of the peer's own changes.
struct TGridStart {
    int64_t AfterNs = 0;
    uint64_t Commits = 0;
};

// The session playback follows. The grid is published by one writer at a time and read by the
// playback tick without locks, waits or system calls (a sequence lock over atomic words). The
// start and stop hooks run on the user-interface thread.
class TBeatGrid {
public:
    virtual ~TBeatGrid() = default;

    // The latest look; false when none was published yet or the writer was busy throughout.
    bool Read(TBeatSnapshot& snapshot) const noexcept;

    // The machine starts on its own: the start lies on the session's next bar line at least
    // `leadNs` from now (a peer alone in its session moves its bar line there), or on the one of
    // a start the session made just now.
    virtual TGridStart RequestStart(int64_t leadNs) = 0;
    // The machine stopped, whatever stopped it.
    virtual void Stopped() = 0;

protected:
    void Publish(const TBeatSnapshot& snapshot) noexcept;

private:
    static constexpr std::size_t Words = 9;
    std::atomic<uint64_t> sequence_{0}; // odd while a look is written
    std::array<std::atomic<uint64_t>, Words> words_{};
};
