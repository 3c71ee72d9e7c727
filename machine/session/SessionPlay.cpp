// The transport, the tempo, the output's channel, program, bank and device, the note range and
// the tone preview.
#include "MachineSession.h"
#include "SessionReport.h"
#include "TempoBar.h"
#include "song/PatternFunctions.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t PreviewVelocity = 127;

// A box that runs from low to high steps one past either end and wraps to the other end; a
// value further out is first held at the box's limits, as the box holds it.
int32_t BoxValue(int32_t value, int32_t low, int32_t high) {
    value = std::clamp(value, low - 1, high + 1);
    if (value > high)
        return low;
    if (value < low)
        return high;
    return value;
}

} // namespace

void TMachineSession::ReportStart(TStartResult result) {
    lastStart_ = result;
    if (result == TStartResult::Playing)
        SetMidiInputNotice({});
    if (result == TStartResult::DeviceBusy || result == TStartResult::Unavailable ||
        result == TStartResult::Failed)
        Report(chStartFailed);
}

TStartResult TMachineSession::PlayPattern() {
    TSessionReport report(*this);
    const TStartResult result = playback_->PlayPattern();
    ReportStart(result);
    Report(chTransport);
    return result;
}

// Starting the track from stopped makes the pattern of its song line current and moves the line
// that plays; with Follow the selection goes with it.
void TMachineSession::ReportTrackStart(bool wasPlaying, int32_t patternBefore) {
    if (wasPlaying || PlayMode() != TPlayMode::Track)
        return;
    ShowedPattern(patternBefore);
    if (!Playing())
        return;
    Report(chTrackPosition);
    FollowLineThatPlays();
}

TStartResult TMachineSession::PlaySong() {
    TSessionReport report(*this);
    const bool wasPlaying = Playing();
    const int32_t patternBefore = CurrentPattern();
    const TStartResult result = playback_->PlaySong();
    ReportStart(result);
    ReportTrackStart(wasPlaying, patternBefore);
    Report(chTransport);
    return result;
}

void TMachineSession::Stop() {
    if (!Playing() && !playback_->Armed())
        return;
    TSessionReport report(*this);
    playback_->Stop();
    Report(chTransport);
}

// From stopped in track mode the track starts over at its first song line, which is selected.
void TMachineSession::PlayToggle() {
    TSessionReport report(*this);
    const bool wasPlaying = Playing();
    const int32_t patternBefore = CurrentPattern();
    if (!wasPlaying && PlayMode() == TPlayMode::Track)
        SelectLine(1);
    ReportStart(playback_->PlayToggle());
    ReportTrackStart(wasPlaying, patternBefore);
    Report(chTransport);
}

void TMachineSession::StopToggle() {
    TSessionReport report(*this);
    Stop();
    Report(chTransport);
}

// A mode chosen while playing plays at once, as the play toggle does.
void TMachineSession::ChooseMode(TPlayMode mode) {
    TSessionReport report(*this);
    const bool wasPlaying = Playing();
    const TStartResult result =
        mode == TPlayMode::Pattern ? playback_->ChoosePatternMode() : playback_->ChooseTrackMode();
    if (wasPlaying)
        ReportStart(result);
    Report(chTransport);
}

void TMachineSession::ChoosePatternMode() {
    ChooseMode(TPlayMode::Pattern);
}

void TMachineSession::ChooseTrackMode() {
    ChooseMode(TPlayMode::Track);
}

void TMachineSession::PlayInMode(TPlayMode mode) {
    TSessionReport report(*this);
    ChooseMode(mode);
    PlayToggle();
}

void TMachineSession::PlaySongFromStart() {
    TSessionReport report(*this);
    state_.TrackPosition = 1;
    if (song_.SonglineCount > 0)
        SelectPattern(song_.Songlines[1]);
    Report(chTrackPosition);
    FollowLineThatPlays();
    PlayInMode(TPlayMode::Track);
}

void TMachineSession::ResetOutput() {
    playback_->ResetOutput();
}

void TMachineSession::FollowPlayback() {
    TSessionReport report(*this);
    if (state_.PatternChanged.exchange(0) != 0)
        Report(chCurrentPattern);
    if (Playing() && follow_ && TrackPosition() != lastFollowedLine_)
        FollowLineThatPlays();
}

// Lines the user selects while the track plays stay selected until the next line plays.
void TMachineSession::FollowLineThatPlays() {
    if (!follow_)
        return;
    lastFollowedLine_ = TrackPosition();
    SelectLine(lastFollowedLine_);
}

bool TMachineSession::WatchesOutput() const {
    return Playing() || playback_->Armed() || out_->Transport() != nullptr || linkPeer_ ||
           midiInputOpen_ || followClock_;
}

void TMachineSession::TakeInOutput() {
    TakeInLink();      // an undo step of its own when it moves the tempo
    TakeInMidiInput(); // the operations it runs are steps of their own
    TSessionReport report(*this);
    if (out_->DeviceGone()) {
        playback_->UnfollowDevice();
        playback_->Stop();
        if (support_->DeviceOpen)
            out_->Close();
        RefreshDevices();
        debugLog_.Append(MessageText(Message(TMessageKind::JackGone)));
        Report(chDeviceGone | chTransport);
        return;
    }
    const int32_t patternBefore = CurrentPattern();
    if (playback_->TakeInTransport()) {
        if (Playing())
            SetMidiInputNotice({}); // a start clears what the status line said of the input
        ReportTrackStart(false, patternBefore);
        Report(chTransport);
    }
    if (const double bpm = playback_->TransportBeatsPerMinute(); bpm > 0) {
        const double stepTime = std::round(15000.0 / bpm); // four steps to the beat
        SetStepTime(static_cast<int32_t>(
            std::clamp(stepTime, double(TempoBar::MinStepTime), double(TempoBar::MaxStepTime))));
    }
}

void TMachineSession::RefreshDevices() {
    std::vector<std::string> names = OutputDeviceList(*port_);
    if (names == deviceNames_)
        return;
    TSessionReport report(*this);
    deviceNames_ = std::move(names);
    Report(chDevice);
}

void TMachineSession::StopTicks() {
    playback_->StopTimer();
}

void TMachineSession::TogglePreview() {
    TSessionReport report(*this);
    playback_->TogglePreview();
    Report(chPreview);
}

void TMachineSession::ToggleMute() {
    TSessionReport report(*this);
    playback_->ToggleMute();
    Report(chMute);
}

// While following a MIDI clock the tempo is the leader's.
void TMachineSession::SetStepTime(int32_t stepTime) {
    if (followClock_)
        return;
    TSessionReport report(*this, stTempo);
    if (TakeStepTime(stepTime))
        SendLinkTempo();
}

bool TMachineSession::TakeStepTime(int32_t stepTime) {
    if (!playback_->ReleaseTempo(stepTime))
        return false;
    song_.SongModified = true;
    Report(chTempo);
    return true;
}

TMachineSession::TSongOutput TMachineSession::SongOutput() const {
    return {song_.StepTime, song_.Channel, song_.Transpose[1],
            song_.Patch,    song_.Bank,    song_.Device};
}

// Everything that plays the song follows its output settings once the song was replaced as a
// whole (load, New, undo, redo): the tempo, the channel and transposition of every timeline (held
// within the range's room), the program, the bank and, when `chooseDevice`, the device if it
// exists. What `before` already had does not go out again; without `before` everything does.
void TMachineSession::FollowSongOutput(const std::optional<TSongOutput>& before,
                                       bool chooseDevice) {
    const TSongOutput now = SongOutput();
    const auto changed = [&](int32_t TSongOutput::*field) {
        return !before || (*before).*field != now.*field;
    };
    SetTempo(tempo_, song_.StepTime);
    if (before && changed(&TSongOutput::StepTime))
        state_.Resync.store(1, std::memory_order_release);
    if (changed(&TSongOutput::StepTime))
        SendLinkTempo();
    out_->Voice.OutChannel = static_cast<uint8_t>(song_.Channel - 1);
    out_->Voice.GlobalTranspose =
        std::clamp(song_.Transpose[1], TransposeFloor, TransposeCeiling(song_));
    for (int32_t p = 1; p <= song_.PatternCount; ++p)
        song_.Transpose[p] = out_->Voice.GlobalTranspose;
    BuildAllMelodies(song_, melodies_, out_->Voice);
    if (Playing() && (changed(&TSongOutput::Channel) || changed(&TSongOutput::Transposition)))
        out_->Reset();
    if (changed(&TSongOutput::Patch) || changed(&TSongOutput::Channel))
        out_->SetPatch(song_.Patch);
    if (changed(&TSongOutput::Bank))
        out_->SelectBank(song_.Bank);
    if (chooseDevice && changed(&TSongOutput::Device) &&
        (song_.Device == MidiMapperId || song_.Device < DeviceCount() ||
         port_->OpensUnlisted(song_.Device)))
        SetDevice(song_.Device);
}

void TMachineSession::SetTransposition(int32_t semitones) {
    if (!song_.SongReady)
        return;
    TSessionReport report(*this, stTransposition);
    semitones = std::clamp(semitones, TransposeFloor, TransposeCeiling(song_));
    KeyGridOff();
    if (song_.Transpose[1] != semitones)
        song_.SongModified = true;
    playback_->SetTransposition(semitones);
    Report(chTransposition | chSteps);
}

void TMachineSession::SetChannel(int32_t channel) {
    TSessionReport report(*this, stChannel);
    channel = BoxValue(channel, 1, 16);
    out_->Voice.OutChannel = static_cast<uint8_t>(channel - 1);
    SetSongValue(song_, song_.Channel, channel);
    out_->SetPatch(song_.Patch);
    KeepInstrumentName(); // to or from a drum kit
    BuildAllMelodies(song_, melodies_, out_->Voice);
    if (Playing())
        out_->Reset();
    Report(chChannel | chSteps);
}

// An instrument text the user has not edited follows the program (and the channel) once.
void TMachineSession::KeepInstrumentName() {
    const std::string name = InstrumentName();
    if (exportOptions_.InstrumentEdited || exportOptions_.Instrument == name)
        return;
    exportOptions_.Instrument = name;
    exportOptions_.InstrumentEdited = true;
    Report(chExportOptions);
}

void TMachineSession::SetPatch(int32_t program) {
    TSessionReport report(*this, stPatch);
    program = BoxValue(program, 0, 127);
    out_->SetPatch(program);
    SetSongValue(song_, song_.Patch, program);
    KeepInstrumentName();
    Report(chPatch);
}

void TMachineSession::SetBank(int32_t bank) {
    TSessionReport report(*this, stBank);
    bank = BoxValue(bank, 0, 127);
    SetSongValue(song_, song_.Bank, bank);
    out_->SelectBank(bank);
    SetPatch(song_.Patch);
    Report(chBank);
}

// The device is opened at once (a busy or missing one shows up now), with the program and bank.
int32_t TMachineSession::SetDevice(int32_t deviceId) {
    TSessionReport report(*this, stDevice);
    playback_->UnfollowDevice();
    if (support_->DeviceOpen)
        out_->CloseDevice();
    out_->DeviceId = deviceId;
    SetSongValue(song_, song_.Device, deviceId);
    out_->Open();
    const int32_t opened = out_->LastResult;
    out_->SetPatch(song_.Patch);
    out_->SelectBank(song_.Bank);
    if (!support_->DeviceOpen)
        Stop();
    playback_->FollowDevice();
    Report(chDevice);
    return opened;
}

// A wider range leaves less room above for the transposition, which is held below its ceiling.
bool TMachineSession::SetRange(int32_t range) {
    TSessionReport report(*this, stRange);
    if (!ChangeRange(song_, range))
        return false;
    Report(chRange | chRangeChosen);
    if (Transposition() > TransposeCeiling(song_))
        SetTransposition(TransposeCeiling(song_));
    return true;
}

bool TMachineSession::OpenForPreview() {
    if (support_->DeviceOpen)
        return true;
    TSessionReport report(*this);
    const bool opened = out_->Open();
    const int32_t result = out_->LastResult;
    if (opened) {
        SetPatch(song_.Patch); // the program again, on the fresh port
        playback_->FollowDevice();
    }
    if (support_->DeviceOpen)
        return true;
    if (result == MidiResult::Allocated)
        ReportStart(TStartResult::DeviceBusy);
    return false;
}

bool TMachineSession::HasPreviewNote(int32_t step) const {
    const int32_t p = CurrentPattern();
    return IsPatternNumber(song_, p) && step >= 1 && step <= song_.Steps &&
           song_.Notes[p][step] != 0;
}

void TMachineSession::PreviewStepOn(int32_t step) {
    if (HasPreviewNote(step))
        out_->SendShort(out_->Voice.NoteOn(song_.Notes[CurrentPattern()][step], PreviewVelocity));
}

void TMachineSession::PreviewStepOff(int32_t step) {
    const int32_t p = CurrentPattern();
    if (IsPatternNumber(song_, p) && step >= 1 && step <= song_.Steps)
        out_->SendShort(out_->Voice.NoteOff(song_.Notes[p][step], PreviewVelocity));
}

void TMachineSession::PreviewNoteOff(int32_t note) {
    out_->SendShort(out_->Voice.NoteOff(note, PreviewVelocity));
}
