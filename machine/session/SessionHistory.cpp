// Undo and redo over the session's operations.
#include "MachineSession.h"
#include "SessionReport.h"
#include "files/ExportPk.h"

#include <algorithm>

namespace {

// What the song file would hold: two states are the same song when these texts are.
std::string StoredText(const TSongState& state) {
    TTempoInfo tempo;
    tempo.SigNumerator = state.SigNumerator;
    tempo.SigDenominator = state.SigDenominator;
    return FormatSong(state.Song, tempo);
}

} // namespace

TSongState TMachineSession::Snapshot() const {
    return {song_, tempo_.SigNumerator, tempo_.SigDenominator, CurrentPattern()};
}

void TMachineSession::BeginStep(int32_t name, int32_t mergeKey) {
    stepBefore_ = Snapshot();
    stepName_ = name;
    stepMergeKey_ = mergeKey;
}

void TMachineSession::EndStep() {
    if (!stepBefore_)
        return;
    TSongState before = std::move(*stepBefore_);
    stepBefore_.reset();
    TSongState after = Snapshot();
    if (StoredText(before) == StoredText(after))
        return;
    history_.Push(std::move(before), std::move(after), stepName_, stepMergeKey_);
    Report(chHistory);
}

void TMachineSession::StartHistory(bool saved) {
    history_.Reset(Snapshot(), saved);
    Report(chHistory);
}

void TMachineSession::MarkSaved() {
    history_.MarkSaved();
}

void TMachineSession::Undo() {
    if (!history_.CanUndo())
        return;
    TSessionReport report(*this);
    Restore(history_.Undo());
    Report(chHistory);
}

void TMachineSession::Redo() {
    if (!history_.CanRedo())
        return;
    TSessionReport report(*this);
    Restore(history_.Redo());
    Report(chHistory);
}

// The song takes the state as a load would take a song, but keeps its name and the volume's
// velocities, and playback goes on: the ticks pause only while the song is swapped.
void TMachineSession::Restore(const TSongState& state) {
    const TPkSong before = song_;
    const TSongOutput outputBefore = SongOutput();
    const int32_t patternBefore = CurrentPattern();
    playback_->WithTicksPaused([&] {
        song_ = state.Song;
        song_.Name = before.Name;
        song_.SongReady = true;
        for (int32_t p = 1; p <= std::min(song_.PatternCount, before.PatternCount); ++p)
            if (song_.Velocities[p].size() == before.Velocities[p].size())
                song_.Velocities[p] = before.Velocities[p];
        state_.CurrentPattern =
            std::clamp(state.CurrentPattern, 1, std::max(song_.PatternCount, 1));
    });
    tempo_.SigNumerator = state.SigNumerator;
    tempo_.SigDenominator = state.SigDenominator;
    FollowSongOutput(outputBefore, true);
    ShowedPattern(patternBefore);
    KeepSelectionInTrack();
    song_.SongModified = !history_.AtSaved();
    Report(chNewSong);
}
