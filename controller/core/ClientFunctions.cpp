#include "ClientFunctions.h"

#include "LogTexts.h"
#include "RemoteWire.h"
#include "RemoteWords.h"
#include "TempoBar.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int MaxLogLines = 2000;

QString SetLinkLogLine(int slot) {
    return (slot == 4 ? QString("Machine3") : TClientCore::ServiceName(slot)) +
           ": SetLink successful";
}

QString OpenLinkLogLine(int slot, bool opened, TLanguage language) {
    static const char* const openedLines[] = {
        "PK0: OpenLink successful", "PK1: OpenLink successful", "PK2: OpenLink successful",
        "Plinkora3: OpenLink successful"};
    static const char* const failedLines[] = {"Plinkora: Openlink failed", "Openlink PK1 failed",
                                              "Plinkora2: Openlink failed"};
    if (opened)
        return openedLines[slot - 1];
    return slot == 4 ? LogTexts(language).LastLinkFailed : failedLines[slot - 1];
}

} // namespace

QString TClientCore::ServiceName(int slot) {
    return "PK" + QString::number(slot - 1);
}

QString TClientCore::StartCommandLine(int slot) {
    return ServiceName(slot) + " default" + QString::number(slot) + ".pks";
}

TClientCore::TClientCore(TLinks links, QString workingDirectory, QString programDirectory,
                         QString documentHome)
    : links_(std::move(links)), workingDirectory_(std::move(workingDirectory)),
      programDirectory_(std::move(programDirectory)),
      settings_(
          DefaultControllerSettings(documentHome.isEmpty() ? workingDirectory_ : documentHome)) {
    defaultProjectDirectory_ = settings_.ProjectDirectory;
    for (int slot = 1; slot <= Slots; ++slot) {
        Link(slot)->StatusChanged = [this, slot](const QString& text) { StatusReply(slot, text); };
        Link(slot)->Dropped = [this, slot] { MachineEnded(slot); };
    }
}

TClientCore::~TClientCore() {
    for (auto& link : links_) {
        link->StatusChanged = nullptr;
        link->Dropped = nullptr;
    }
}

int TClientCore::RunningCount() const {
    return static_cast<int>(std::count(running_.begin(), running_.end(), true));
}

bool TClientCore::Running(int slot) const {
    return ValidSlot(slot) && running_[slot - 1];
}

bool TClientCore::Muted(int slot) const {
    return ValidSlot(slot) && muted_[slot - 1];
}

int TClientCore::Volume(int slot) const {
    return ValidSlot(slot) ? volumes_[slot - 1] : 0;
}

bool TClientCore::Selected(int slot) const {
    return ValidSlot(slot) && selected_[slot - 1];
}

TClientCore::TSaveAnswer TClientCore::SaveAnswer(int slot) const {
    return ValidSlot(slot) ? answers_[slot - 1] : TSaveAnswer::None;
}

bool TClientCore::Modified() const {
    for (int slot = 1; slot <= Slots; ++slot)
        if (Running(slot) && answers_[slot - 1] == TSaveAnswer::NeedSave)
            return true;
    return modified_;
}

void TClientCore::AppendLog(const QString& line) {
    log_ << line;
    if (log_.size() > MaxLogLines)
        log_.removeFirst();
    emit LogAppended(line);
}

void TClientCore::Fail(const QString& message) {
    emit Failed(message);
}

void TClientCore::SendCommand(int slot, const QString& command, const QString& argument) {
    if (!ValidSlot(slot))
        return;
    Link(slot)->Execute(Macro(command, argument)); // a dropped command is no error
    AppendLog(SentLogLine(command, slot));
}

QString TClientCore::Macro(const QString& command, const QString& argument) {
    return command + "\r\n" + argument + "\r\n";
}

QString TClientCore::SentLogLine(const QString& command, int slot) {
    return command + " --> " + QString::number(slot);
}

void TClientCore::BroadcastCommand(const QString& command, const QString& argument) {
    for (int slot = std::min(SlotCount(), Slots); slot >= 1; --slot)
        if (Running(slot))
            SendCommand(slot, command, argument);
}

// The running machines by slot; bare words and the tempo bypass the per-slot log lines.
void TClientCore::SendToRunning(const QString& macro, const QString& logLine) {
    for (int slot = 1; slot <= Slots; ++slot)
        if (Running(slot))
            Link(slot)->Execute(macro);
    AppendLog(logLine);
}

// A machine starts at full volume, unmuted; the slot may show otherwise.
void TClientCore::SendVolumeAndMute(int slot) {
    SendCommand(slot, RemoteWords::SetVolume, QString::number(volumes_[slot - 1]));
    if (muted_[slot - 1])
        SendCommand(slot, RemoteWords::Mute, "0");
}

// Everything but the connection: the name, the item watched, what starts the machine.
void TClientCore::NameLink(int slot) {
    TMachineLink& link = *Link(slot);
    link.SetStartCommand(StartCommandLine(slot));
    link.SetStartLanguage(language_);
    link.SetStartSync(
        {settings_.FollowTransport, settings_.SendClock, settings_.Link, settings_.FollowClock});
    link.SetLink(ServiceName(slot), RemoteWire::TopicName);
    link.Subscribe(RemoteWire::ItemName);
}

void TClientCore::OpenSlot(int slot) {
    NameLink(slot);
    AppendLog(SetLinkLogLine(slot));
    // Counted whether or not the link opened (StartMachine): commands to it are then dropped.
    AppendLog(OpenLinkLogLine(slot, Link(slot)->Open(), language_));
    ConnectSlot(slot);
}

// The linked machine becomes slot n's: its number, the layout, and what the slot holds: its
// song, then the tempo (a song brings its own), the volume and the mute.
void TClientCore::ConnectSlot(int slot) {
    SendCommand(slot, RemoteWords::Connect, QString::number(slot));
    if (LayoutNumber() != 4)
        BroadcastCommand(RemoteWords::Layout, QString::number(LayoutNumber()));
    if (!songFiles_[slot - 1].isEmpty())
        SendCommand(slot, RemoteWords::Load, songFiles_[slot - 1]);
    if (tempo_ && !LinksOn()) // a Link peer takes the session's tempo, not a rounded one
        SendCommand(slot, RemoteWords::SetSpeed, QString::number(*tempo_));
    SendVolumeAndMute(slot);
}

// The link steps may hand status replies over meanwhile; the slot counts as running from here
// so that a SHUTDOWN during them is booked against it.
void TClientCore::CountAsRunning(int slot) {
    running_[slot - 1] = true;
    if (std::exchange(muteReleasedOnStart_[slot - 1], false))
        muted_[slot - 1] = false;
    answers_[slot - 1] = TSaveAnswer::None;
}

void TClientCore::StartMachine(int slot) {
    if (!ValidSlot(slot) || Running(slot))
        return;
    if (slot >= 2 && !Running(slot - 1))
        StartMachine(slot - 1); // slots fill from 1 upward
    CountAsRunning(slot);
    OpenSlot(slot);
    emit StateChanged();
}

// Only the slots whose machine answers; a gap below one of them stays (nothing is started).
void TClientCore::TakeBackRunningMachines() {
    for (int slot = 1; slot <= Slots; ++slot) {
        if (Running(slot))
            continue;
        NameLink(slot);
        if (!Link(slot)->OpenIfAnswering())
            continue;
        CountAsRunning(slot);
        AppendLog(SetLinkLogLine(slot));
        AppendLog(OpenLinkLogLine(slot, true, language_));
        ConnectSlot(slot);
    }
    emit StateChanged();
}

bool TClientCore::StopMachine(int slot) {
    if (!Running(slot) || (slot < Slots && Running(slot + 1)))
        return false;
    if (!SaveFirst())
        return false;
    SendCommand(slot, RemoteWords::Exit, "0");
    ShutDown(slot);
    muted_[slot - 1] = true; // pressed without sending "MUTE": the machine is gone
    muteReleasedOnStart_[slot - 1] = true;
    emit StateChanged();
    return true;
}

void TClientCore::ShutDown(int slot) {
    if (!ValidSlot(slot))
        return;
    running_[slot - 1] = false;
    Link(slot)->Close();
    emit StateChanged();
}

void TClientCore::MachineEnded(int slot) {
    if (!Running(slot))
        return;
    AppendLog(LogTexts(language_).MachineEnded.arg(slot));
    ShutDown(slot);
    if (export_.Abandon(slot)) {
        AppendLog(LogTexts(language_).MidiExportFailed + export_.Error());
        Fail(export_.Error());
        emit StateChanged();
    }
}

void TClientCore::StatusReply(int slot, const QString& text) {
    if (!ValidSlot(slot))
        return;
    log_ = QStringList{text};
    emit LogReplaced(log_);
    if (text == AsStatusLine(RemoteWords::NeedSave)) {
        answers_[slot - 1] = TSaveAnswer::NeedSave;
        emit StateChanged();
    } else if (text == AsStatusLine(RemoteWords::NoSave)) {
        answers_[slot - 1] = TSaveAnswer::NoSave;
        emit StateChanged();
    }
    if (log_.first() == AsStatusLine(RemoteWords::Shutdown))
        MachineEnded(slot);
    emit StatusReceived(slot, text);
}

// Nothing to lose, nothing to ask.
TClientPrompts::TAnswer TClientCore::AskSaveFirst() {
    if (!Prompts || !NeedsSaving())
        return TClientPrompts::TAnswer::No;
    return Prompts->AskSaveFirst();
}

void TClientCore::PlaySong() {
    BroadcastCommand(RemoteWords::PlaySong, "0");
    playRequest_ = TPlayRequest::Song;
    emit StateChanged();
}

void TClientCore::PlayPattern() {
    BroadcastCommand(RemoteWords::PlayPattern, "0");
    playRequest_ = TPlayRequest::Pattern;
    emit StateChanged();
}

void TClientCore::StopAll() {
    BroadcastCommand(RemoteWords::Stop, "0");
    playRequest_ = TPlayRequest::None;
    emit StateChanged();
}

void TClientCore::MidiReset() {
    BroadcastCommand(RemoteWords::MidiReset, "0");
}

void TClientCore::NextPattern() {
    BroadcastCommand(RemoteWords::NextPattern, "");
}

void TClientCore::PreviousPattern() {
    BroadcastCommand(RemoteWords::PreviousPattern, "");
}

void TClientCore::SendToSelected(const QString& command) {
    for (int slot = 1; slot <= Slots; ++slot)
        if (selected_[slot - 1])
            SendCommand(slot, command, "");
}

void TClientCore::ShiftPatternUp() {
    SendToSelected(RemoteWords::ShiftPatternUp);
}

void TClientCore::ShiftPatternDown() {
    SendToSelected(RemoteWords::ShiftPatternDown);
}

void TClientCore::CopyPattern() {
    SendToSelected(RemoteWords::CopyPattern);
}

void TClientCore::Select(int slot, bool selected) {
    if (!ValidSlot(slot))
        return;
    selected_[slot - 1] = selected;
    emit StateChanged();
}

void TClientCore::SetSpeed(int position) {
    const int value = std::clamp(position, TempoBar::MinStepTime, TempoBar::MaxStepTime);
    tempo_ = value;
    if (follower_)
        follower_->Propose(value);
    SendToRunning(Macro(RemoteWords::SetSpeed, QString::number(value)),
                  QString(RemoteWords::SetSpeed) + " " + LogTexts(language_).Sent);
}

void TClientCore::Skin() {
    SendToRunning(RemoteWords::Skin, QString(RemoteWords::Skin) + " " + LogTexts(language_).Sent);
}

void TClientCore::Layout(int layout) {
    if (layout < 1 || layout > 4)
        return;
    BroadcastCommand(RemoteWords::Layout, QString::number(layout));
    settings_.LayoutNumber = layout;
    emit StateChanged();
}

void TClientCore::Minimize() {
    BroadcastCommand(RemoteWords::Minimize, "");
}

void TClientCore::Restore() {
    BroadcastCommand(RemoteWords::Maximize, "");
}

void TClientCore::PlayPatternOn(int slot) {
    SendCommand(slot, RemoteWords::PlayPattern, "0");
}

void TClientCore::StopOn(int slot) {
    SendCommand(slot, RemoteWords::Stop, "0");
}

void TClientCore::ToggleMute(int slot) {
    if (!ValidSlot(slot))
        return;
    muted_[slot - 1] = !muted_[slot - 1];
    modified_ = true; // the project file keeps the mutes
    SendCommand(slot, RemoteWords::Mute, "0");
    emit StateChanged();
}

void TClientCore::SetVolume(int slot, int position) {
    if (!ValidSlot(slot))
        return;
    const int value = std::clamp(position, 0, MaxVolumePosition);
    if (value == volumes_[slot - 1])
        return;
    volumes_[slot - 1] = value;
    modified_ = true; // the project file keeps the volumes
    SendCommand(slot, RemoteWords::SetVolume, QString::number(value));
    emit VolumeChanged(slot, value);
}

void TClientCore::CloseAll() {
    for (auto& link : links_)
        link->ExecuteAndBlock(RemoteWords::ExitOnClose);
    for (auto& link : links_)
        link->Close();
    running_ = {};
    emit StateChanged();
}
