#include "UndoHistory.h"

#include <numeric>

size_t TSongState::Bytes() const {
    const auto strings = [](const std::vector<std::string>& texts) {
        return std::accumulate(texts.begin(), texts.end(), size_t{0},
                               [](size_t sum, const std::string& text) {
                                   return sum + sizeof(std::string) + text.capacity();
                               });
    };
    size_t bytes = sizeof(TSongState) + Song.Name.size() + strings(Song.PatternNames) +
                   Song.Songlines.size() * sizeof(int32_t) +
                   Song.Transpose.size() * sizeof(int32_t);
    for (size_t p = 0; p < Song.Notes.size(); ++p)
        bytes += 4 * sizeof(std::vector<int32_t>) + Song.Notes[p].size() * sizeof(int32_t) +
                 Song.Gates[p].size() + Song.Lengths[p].size() + Song.Velocities[p].size();
    return bytes;
}

void TUndoHistory::Reset(TSongState now, bool saved) {
    states_.clear();
    names_.clear();
    mergeKeys_.clear();
    bytes_ = now.Bytes();
    states_.push_back(std::move(now));
    position_ = 0;
    saved_ = saved ? 0 : -1;
}

void TUndoHistory::Push(TSongState before, TSongState after, int32_t name, int32_t mergeKey) {
    while (states_.size() > position_ + 1) { // what could be redone
        bytes_ -= states_.back().Bytes();
        states_.pop_back();
        names_.pop_back();
        mergeKeys_.pop_back();
    }
    if (saved_ > static_cast<std::ptrdiff_t>(position_))
        saved_ = -1;
    const bool merge = mergeKey != 0 && position_ > 0 && mergeKeys_.back() == mergeKey &&
                       saved_ != static_cast<std::ptrdiff_t>(position_);
    bytes_ -= states_[position_].Bytes();
    if (merge) { // the step just before now ends where this one does
        bytes_ += after.Bytes();
        states_[position_] = std::move(after);
        return;
    }
    // A change made outside any step belongs to the state this step starts from.
    bytes_ += before.Bytes() + after.Bytes();
    states_[position_] = std::move(before);
    states_.push_back(std::move(after));
    names_.push_back(name);
    mergeKeys_.push_back(mergeKey);
    ++position_;
    KeepWithinBounds();
}

void TUndoHistory::KeepWithinBounds() {
    while (position_ > 0 && (names_.size() > MaxSteps || bytes_ > MaxBytes)) {
        bytes_ -= states_.front().Bytes();
        states_.pop_front();
        names_.pop_front();
        mergeKeys_.pop_front();
        --position_;
        --saved_;
        if (saved_ < -1)
            saved_ = -1;
    }
}

const TSongState& TUndoHistory::Undo() {
    if (CanUndo())
        --position_;
    return states_[position_];
}

const TSongState& TUndoHistory::Redo() {
    if (CanRedo())
        ++position_;
    return states_[position_];
}
