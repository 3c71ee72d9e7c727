#pragma once

#include "song/SongModel.h"

#include <cstddef>
#include <cstdint>
#include <deque>

// The song at one moment of the history: what the song file keeps (and the velocities and note
// extremes beside it), the time signature and the pattern in view.
struct TSongState {
    TPkSong Song;
    uint8_t SigNumerator = 4;
    uint8_t SigDenominator = 4;
    int32_t CurrentPattern = 1;

    size_t Bytes() const; // about what the state holds in memory
};

// Undo and redo: the states the song went through, one step between two neighbours, each step
// named by the text number of what it did. Bounded by a step count and by the memory the states
// take (a huge song keeps fewer steps); the oldest steps go first.
class TUndoHistory {
public:
    static constexpr size_t MaxSteps = 1000;
    static constexpr size_t MaxBytes = size_t{64} << 20;

    // A fresh history at `now`; `saved` when the song file holds `now`.
    void Reset(TSongState now, bool saved);
    // An operation named `name` took the song from `before` to `after`. A step with the same
    // non-zero merge key as the step just before it joins that step (a name typed letter by
    // letter). What could be redone is gone.
    void Push(TSongState before, TSongState after, int32_t name, int32_t mergeKey = 0);

    bool CanUndo() const { return position_ > 0; }
    bool CanRedo() const { return position_ + 1 < states_.size(); }
    int32_t UndoName() const { return CanUndo() ? names_[position_ - 1] : 0; }
    int32_t RedoName() const { return CanRedo() ? names_[position_] : 0; }
    // Moves one step back (forward) and returns the state to restore; only when Can...().
    const TSongState& Undo();
    const TSongState& Redo();

    // The song file now holds the current state.
    void MarkSaved() { saved_ = static_cast<std::ptrdiff_t>(position_); }
    bool AtSaved() const { return saved_ == static_cast<std::ptrdiff_t>(position_); }
    size_t StepCount() const { return names_.size(); }

private:
    void KeepWithinBounds();

    std::deque<TSongState> states_;
    std::deque<int32_t> names_;     // step i leads from state i to state i + 1
    std::deque<int32_t> mergeKeys_; // of each step
    size_t position_ = 0;           // the state the song is in
    std::ptrdiff_t saved_ = -1;     // the state the song file holds; -1 when none is left
    size_t bytes_ = 0;
};
