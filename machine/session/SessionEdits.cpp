// The edits of the pattern editor (on the current pattern) and of the track editor (on the
// selected song line), and the volume.
#include "MachineSession.h"
#include "SessionReport.h"
#include "song/PatternFunctions.h"

#include <algorithm>

void TMachineSession::SwitchPattern(int32_t pattern) {
    playback_->SwitchPattern(pattern);
}

void TMachineSession::SelectPattern(int32_t pattern) {
    TSessionReport report(*this);
    const int32_t last = std::max(song_.PatternCount, 1);
    if (pattern > last)
        pattern = 1;
    else if (pattern < 1)
        pattern = last;
    const int32_t before = CurrentPattern();
    SwitchPattern(pattern);
    ShowedPattern(before);
}

void TMachineSession::SetPatternName(const std::string& name) {
    const int32_t p = CurrentPattern();
    if (p < 1 || static_cast<size_t>(p) >= song_.PatternNames.size())
        return;
    TSessionReport report(*this, stPatternName, p);
    song_.PatternNames[p] = name;
    song_.SongModified = true;
    Report(chPatternName);
}

// A new pattern from "New" or "Copy" becomes the current one.
void TMachineSession::AddedPattern(int32_t n) {
    if (n == NoPattern)
        return;
    song_.SongModified = true;
    out_->Reset();
    Report(chPatterns | chSteps);
    SelectPattern(n);
}

void TMachineSession::AddPattern(int32_t fillPitch) {
    TSessionReport report(*this, stNewPattern);
    AddedPattern(::AddPattern(song_, melodies_, out_->Voice, fillPitch, volume_, Transposition()));
}

void TMachineSession::CopyPattern() {
    TSessionReport report(*this, stCopyPattern);
    AddedPattern(::CopyPattern(song_, melodies_, out_->Voice, CurrentPattern(), Transposition()));
}

// After a whole-pattern operation that changed the notes.
void TMachineSession::ReloadAfter(bool changed) {
    if (!changed)
        return;
    song_.SongModified = true;
    Report(chSteps);
}

void TMachineSession::FillPattern(int32_t pitch) {
    TSessionReport report(*this, stFillPattern);
    const bool filled =
        ::FillPattern(song_, melodies_, out_->Voice, CurrentPattern(), pitch, volume_);
    if (filled)
        out_->Reset();
    ReloadAfter(filled);
}

void TMachineSession::RandomizePattern() {
    TSessionReport report(*this, stRandom);
    const bool random =
        ::RandomizePattern(song_, melodies_, out_->Voice, CurrentPattern(), keyGrid_);
    if (random)
        out_->Reset();
    ReloadAfter(random);
}

// The shifted notes leave the key grid's scale, so the grid goes off.
void TMachineSession::ShiftPatternUp() {
    const int32_t p = CurrentPattern();
    if (!IsPatternNumber(song_, p) || RecordPatternHighestNote(song_, p) >= song_.Range)
        return;
    TSessionReport report(*this, stShiftUp);
    KeyGridOff();
    const bool shifted = ::ShiftPatternUp(song_, melodies_, out_->Voice, p);
    if (shifted)
        out_->Reset();
    ReloadAfter(shifted);
}

void TMachineSession::ShiftPatternDown() {
    const int32_t p = CurrentPattern();
    if (!IsPatternNumber(song_, p) || PatternLowestNote(song_, p) < 2)
        return;
    TSessionReport report(*this, stShiftDown);
    KeyGridOff();
    const bool shifted = ::ShiftPatternDown(song_, melodies_, out_->Voice, p);
    if (shifted)
        out_->Reset();
    ReloadAfter(shifted);
}

void TMachineSession::RotatePatternLeft() {
    TSessionReport report(*this, stRotateLeft);
    ReloadAfter(::RotatePatternLeft(song_, melodies_, out_->Voice, CurrentPattern()));
}

void TMachineSession::RotatePatternRight() {
    TSessionReport report(*this, stRotateRight);
    ReloadAfter(::RotatePatternRight(song_, melodies_, out_->Voice, CurrentPattern()));
}

std::optional<int32_t> TMachineSession::SetStepNote(int32_t k, int32_t note) {
    TSessionReport report(*this, stNote);
    song_.SongModified = true; // a slider gesture counts as an edit
    const int32_t p = CurrentPattern();
    if (!IsPatternNumber(song_, p) || k < 1 || k > std::min<int32_t>(song_.Steps, MaxSteps))
        return std::nullopt;
    const int32_t length = std::clamp<int32_t>(song_.Lengths[p][k], 1, song_.Steps - k + 1);
    const int32_t before = song_.Notes[p][k];
    for (int32_t j = k; j < k + length; ++j)
        song_.Notes[p][j] = note;
    BuildMelody(song_, melodies_, out_->Voice, p);
    Report(chSteps);
    return before;
}

bool TMachineSession::SetNoteLength(int32_t p, int32_t s, int32_t n) {
    TSessionReport report(*this, stLength);
    if (!::SetNoteLength(song_, p, s, n))
        return false;
    song_.SongModified = true;
    BuildMelody(song_, melodies_, out_->Voice, p);
    Report(chSteps);
    return true;
}

void TMachineSession::SetKeyGrid(const TKeyGrid& grid) {
    TSessionReport report(*this);
    keyGrid_ = grid;
    Report(chKeyGrid);
}

void TMachineSession::KeyGridOff() {
    if (!keyGrid_.Ticked)
        return;
    keyGrid_.Ticked = false;
    Report(chKeyGrid);
}

// Selecting a song line while stopped shows its pattern.
void TMachineSession::SelectLine(int32_t line) {
    TSessionReport report(*this);
    line = std::clamp(line, 1, std::max(1, song_.SonglineCount));
    selectedLine_ = line;
    Report(chSelectedLine);
    if (line <= song_.SonglineCount && !Playing())
        SelectPattern(song_.Songlines[line]);
}

// A track that became shorter than the selection moves the selection onto its last line.
void TMachineSession::KeepSelectionInTrack() {
    if (selectedLine_ > std::max(1, song_.SonglineCount))
        SelectLine(song_.SonglineCount);
}

void TMachineSession::InsertLine() {
    const int32_t entry = selectedLine_;
    if (entry < 1 || entry > song_.SonglineCount)
        return;
    TSessionReport report(*this, stInsertLine);
    playback_->WithTicksPaused([&] {
        song_.Songlines.resize(static_cast<size_t>(song_.SonglineCount) + 1);
        song_.Songlines.insert(song_.Songlines.begin() + entry, song_.Songlines[entry]);
        ++song_.SonglineCount;
        song_.SongModified = true;
        // The line that plays keeps playing on: it moved one down.
        if (entry < state_.TrackPosition.load())
            state_.TrackPosition.store(state_.TrackPosition.load() + 1);
    });
    Report(chTrack);
    SelectLine(entry + 1);
}

void TMachineSession::DeleteLine() {
    const int32_t entry = selectedLine_;
    if (song_.SonglineCount <= 1 || entry < 1 || entry > song_.SonglineCount)
        return;
    TSessionReport report(*this, stDeleteLine);
    playback_->WithTicksPaused([&] {
        song_.Songlines.resize(static_cast<size_t>(song_.SonglineCount) + 1);
        song_.Songlines.erase(song_.Songlines.begin() + entry);
        --song_.SonglineCount;
        song_.SongModified = true;
        // The line that plays keeps playing on: it moved one up. A position beyond the
        // shortened track is brought back to line 1 by the pause.
        if (entry < state_.TrackPosition.load())
            state_.TrackPosition.store(state_.TrackPosition.load() - 1);
    });
    Report(chTrack);
    SelectLine(entry);
}

void TMachineSession::StepLinePattern(int32_t delta) {
    const int32_t entry = selectedLine_;
    if (entry < 1 || entry > song_.SonglineCount || song_.PatternCount < 1)
        return;
    TSessionReport report(*this, stLinePattern);
    int32_t pattern = song_.Songlines[entry] + delta;
    if (pattern > song_.PatternCount)
        pattern = delta > 0 ? 1 : song_.PatternCount;
    else if (pattern < 1)
        pattern = song_.PatternCount;
    playback_->WithTicksPaused([&] { SetSongValue(song_, song_.Songlines[entry], pattern); });
    Report(chTrack);
    if (!Playing())
        SelectPattern(pattern);
}

// The selection stays within the track, so at either end nothing moves. It steps from where
// playback has got to.
void TMachineSession::StepTrack(int32_t delta) {
    TSessionReport report(*this);
    FollowPlayback();
    const int32_t position = std::clamp(selectedLine_ + delta, 1, std::max(1, song_.SonglineCount));
    if (position != selectedLine_)
        SelectLine(position);
    if (position > song_.SonglineCount)
        return;
    SelectPattern(song_.Songlines[position]);
    playback_->WithTicksPaused([&] { state_.TrackPosition = position; });
    lastFollowedLine_ = position;
    Report(chTrackPosition);
}

void TMachineSession::SetFollow(bool on) {
    TSessionReport report(*this);
    follow_ = on;
    Report(chFollow);
    FollowLineThatPlays();
}

void TMachineSession::SetVolume(uint8_t volume) {
    TSessionReport report(*this);
    volume_ = std::min<uint8_t>(volume, 127);
    playback_->SetVolume(volume_);
    Report(chVolume | chSteps);
}
