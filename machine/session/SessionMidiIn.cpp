// MIDI in: the input the machine reads, following a leader's MIDI clock, the MIDI control
// assignments and the keyboard's transposition. Like the other synchronisation options these are
// settings of the machine; the operations a received message runs are the windows' own, each its
// own undo step as there.
#include "MachineSession.h"
#include "SessionReport.h"
#include "StringConvert.h"
#include "TempoBar.h"
#include "files/FileError.h"
#include "midi/Midi_Errors.h"

#include <algorithm>
#include <cmath>

namespace {

// The leader's tempo changes one after another are one undo step (a running clock does not fill
// the history); Link's tempo steps (-stTempo) and pattern numbers use other keys.
constexpr int32_t ClockTempoMergeKey = -stTempo - 1;

// The tempo the pulses show wanders around a step time's rounding edge; a new step time is taken
// only this far (ms) from the one shown, so the tempo bar does not flicker between two.
constexpr double ClockTempoHysteresisMs = 0.6;

constexpr uint8_t NoteOnStatus = 0x90;
constexpr uint8_t ControlChangeStatus = 0xB0;
constexpr int32_t MiddleC = 60;

bool IsNoteOn(const TMidiMessage& message) {
    return (message.Status & 0xF0) == NoteOnStatus && message.Data2 > 0;
}

bool IsController(const TMidiMessage& message) {
    return (message.Status & 0xF0) == ControlChangeStatus;
}

int32_t ChannelOf(const TMidiMessage& message) {
    return (message.Status & 0x0F) + 1;
}

// What learning takes from `message` for `operation`: a controller for any operation, a
// note-on for one that is triggered.
std::optional<TMidiAssignment> LearnedAssignment(const TMidiMessage& message,
                                                 TMidiControlOperation operation) {
    if (IsController(message))
        return TMidiAssignment{TMidiControlSource::Controller, ChannelOf(message), message.Data1};
    if (IsNoteOn(message) && !TakesControllerValue(operation))
        return TMidiAssignment{TMidiControlSource::Note, ChannelOf(message), message.Data1};
    return std::nullopt;
}

TMessageKind FaultKind(TMidiControlFault fault) {
    switch (fault) {
    case TMidiControlFault::NotAnAssignment:
        return TMessageKind::MidiControlNotAssignment;
    case TMidiControlFault::UnknownOperation:
        return TMessageKind::MidiControlUnknownOperation;
    case TMidiControlFault::UnknownMessage:
        return TMessageKind::MidiControlUnknownMessage;
    case TMidiControlFault::BadChannel:
        return TMessageKind::MidiControlBadChannel;
    case TMidiControlFault::BadNumber:
        return TMessageKind::MidiControlBadNumber;
    case TMidiControlFault::NeedsController:
        return TMessageKind::MidiControlNeedsController;
    case TMidiControlFault::AssignedTwice:
        break;
    }
    return TMessageKind::MidiControlAssignedTwice;
}

} // namespace

std::vector<std::string> TMachineSession::MidiInputNames() {
    return port_->InputNames();
}

int32_t TMachineSession::SetMidiInput(const TMidiInputChoice& choice) {
    TSessionReport report(*this);
    midiInput_ = choice;
    const int32_t result = port_->OpenInput(choice, inputSink_);
    midiInputOpen_ = result == MidiResult::Ok && choice.Kind != TMidiInputChoice::TKind::None;
    TUserMessage notice;
    if (result != MidiResult::Ok) {
        const TUserMessage why = port_->OpenFailure().Empty()
                                     ? Plain(std::string(Trimmed(MidiErrorText(result))))
                                     : port_->OpenFailure();
        const bool jack = choice.Kind == TMidiInputChoice::TKind::Jack;
        notice = Message(TMessageKind::MidiInputCannotOpen,
                         {Plain(jack ? std::string("JACK midi_in") : MidiInputWord(choice)), why});
        debugLog_.Append(MessageText(notice));
    }
    SetMidiInputNotice(notice);
    Report(chSync);
    return result;
}

void TMachineSession::SetMidiInputNotice(TUserMessage notice) {
    if (notice == midiInputNotice_)
        return;
    midiInputNotice_ = std::move(notice);
    Report(chSync);
}

void TMachineSession::SetFollowClock(bool on) {
    TSessionReport report(*this);
    if (on && link_)
        SetLink(false);
    followClock_ = on;
    clockStepTimeSeen_ = 0;
    playback_->FollowClock(on ? &inputSink_ : nullptr);
    Report(chSync | chTransport);
}

void TMachineSession::SetKeyboardChannel(int32_t channel) {
    if (channel < 0 || channel > 16)
        return;
    TSessionReport report(*this);
    keyboardChannel_ = channel;
    Report(chSync);
}

std::vector<TUserMessage> TMachineSession::LoadMidiControl(const std::string& path) {
    TSessionReport report(*this);
    midiControlPath_ = path;
    std::vector<TUserMessage> messages;
    TMidiControlFile file;
    try {
        file = ReadMidiControlFile(path);
    } catch (const FileError& failure) {
        messages.push_back(failure.Message());
    }
    midiControl_ = file.Map;
    for (const TMidiControlProblem& problem : file.Problems)
        messages.push_back(Message(TMessageKind::MidiControlLine,
                                   {Plain(path), Plain(problem.Line),
                                    Message(FaultKind(problem.Fault), {Plain(problem.Text)})}));
    Report(chSync);
    return messages;
}

void TMachineSession::AssignMidiControl(TMidiControlOperation operation,
                                        std::optional<TMidiAssignment> assignment) {
    TSessionReport report(*this);
    midiControl_[static_cast<size_t>(operation)] = assignment;
    Report(chSync);
    if (!midiControlPath_.empty())
        WriteMidiControlFile(midiControlPath_, midiControl_);
}

void TMachineSession::LearnMidiControl(std::optional<TMidiControlOperation> operation) {
    TSessionReport report(*this);
    learning_ = operation;
    Report(chSync);
}

void TMachineSession::TakeInMidiInput() {
    TTimedMidiMessage received;
    while (inputSink_.PopControl(received))
        TakeInControl(received.Message);
    TakeInClock();
}

// While learning, every message serves only the learning.
void TMachineSession::TakeInControl(const TMidiMessage& message) {
    if (learning_) {
        LearnFrom(message);
        return;
    }
    for (const TMidiControlAction& action : MidiControlActions(
             midiControl_, message.Status, message.Data1, message.Data2, TransposeCeiling(song_)))
        RunControlAction(action);
    if (keyboardChannel_ != 0 && IsNoteOn(message) && ChannelOf(message) == keyboardChannel_)
        SetTransposition(message.Data1 - MiddleC);
}

// A file that cannot be written keeps the assignment and says so on the status line.
void TMachineSession::LearnFrom(const TMidiMessage& message) {
    const auto assignment = LearnedAssignment(message, *learning_);
    if (!assignment)
        return;
    TSessionReport report(*this);
    const TMidiControlOperation operation = *learning_;
    learning_.reset();
    try {
        AssignMidiControl(operation, assignment);
    } catch (const FileError& failure) {
        SetMidiInputNotice(failure.Message());
    }
}

void TMachineSession::RunControlAction(const TMidiControlAction& action) {
    switch (action.Operation) {
    case TMidiControlOperation::PlaySong:
        PlaySong();
        break;
    case TMidiControlOperation::PlayPattern:
        PlayPattern();
        break;
    case TMidiControlOperation::Stop:
        Stop();
        break;
    case TMidiControlOperation::NextPattern:
        StepPatternOrLine(1);
        break;
    case TMidiControlOperation::PreviousPattern:
        StepPatternOrLine(-1);
        break;
    case TMidiControlOperation::Mute:
        ToggleMute();
        break;
    case TMidiControlOperation::Tempo:
        SetStepTime(action.Value);
        break;
    case TMidiControlOperation::Volume:
        SetVolume(static_cast<uint8_t>(std::clamp(action.Value, 0, 127)));
        break;
    case TMidiControlOperation::Transposition:
        SetTransposition(action.Value);
        break;
    }
}

// In track mode the song line moves (as the controller's NEXTPATTERN), in pattern mode the
// pattern (wrapping as the number box does).
void TMachineSession::StepPatternOrLine(int32_t delta) {
    if (PlayMode() == TPlayMode::Track)
        StepTrack(delta);
    else
        SelectPattern(CurrentPattern() + delta);
}

// The tempo is an undo step of its own, so nothing else may run in the same report. The
// leader's starts and stops are the playback's transport (TakeInOutput takes them in).
void TMachineSession::TakeInClock() {
    if (followClock_)
        FollowClockTempo();
    if (playback_->TakeClockLost()) {
        TSessionReport report(*this);
        SetMidiInputNotice(Message(TMessageKind::MidiClockLost));
        debugLog_.Append(MessageText(midiInputNotice_));
    }
}

void TMachineSession::FollowClockTempo() {
    const double stepTimeMs = playback_->ClockStepTimeMs();
    if (!(stepTimeMs > 0) || (clockStepTimeSeen_ != 0 &&
                              std::abs(stepTimeMs - clockStepTimeSeen_) < ClockTempoHysteresisMs))
        return;
    const auto stepTime = static_cast<int32_t>(std::clamp(
        std::round(stepTimeMs), double(TempoBar::MinStepTime), double(TempoBar::MaxStepTime)));
    if (stepTime == clockStepTimeSeen_)
        return;
    clockStepTimeSeen_ = stepTime;
    TSessionReport step(*this, stTempo, ClockTempoMergeKey);
    TakeStepTime(stepTime);
}
