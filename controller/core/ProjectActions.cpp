// The project, settings and export operations of the controller core.

#include "ClientFunctions.h"
#include "LocalFileNames.h"
#include "LogTexts.h"
#include "RemoteWords.h"
#include "TextLines.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

bool TClientCore::NeedsSaving() {
    if (modified_)
        return true;
    for (int slot = 1; slot <= Slots; ++slot) {
        if (!Running(slot))
            continue;
        answers_[slot - 1] = TSaveAnswer::None;
        // Handled before the link lets the next macro go, so the answer is in by then.
        Link(slot)->ExecuteAndBlock(Macro(RemoteWords::DoYouNeedSave, ""));
        AppendLog(SentLogLine(RemoteWords::DoYouNeedSave, slot));
    }
    for (int slot = 1; slot <= Slots; ++slot)
        if (Running(slot) && answers_[slot - 1] != TSaveAnswer::NoSave)
            return true;
    return false;
}

bool TClientCore::SaveFirst() {
    if (RunningCount() <= 0)
        return true;
    switch (AskSaveFirst()) {
    case TClientPrompts::TAnswer::Cancel:
        return false;
    case TClientPrompts::TAnswer::Yes:
        SaveProject(); // a save clears the modified flag; a cancelled dialog keeps it
        break;
    case TClientPrompts::TAnswer::No:
        break;
    }
    return true;
}

void TClientCore::NewMachines(int count) {
    if (count < 1 || count > Slots)
        return;
    if (!SaveFirst())
        return;
    for (int slot = Slots; slot > count; --slot)
        if (Running(slot) && !StopMachine(slot))
            return; // the user cancelled: the machines stay as they are
    ForgetSongs();  // before the starts: no machine loads the old project's song
    for (int slot = 1; slot <= count; ++slot)
        if (!Running(slot))
            StartMachine(slot);
    projectFileName_.clear();
    NewProject();
}

void TClientCore::NewProject() {
    ForgetSongs();
    for (int slot = 1; slot <= Slots; ++slot)
        if (Running(slot))
            LoadSong(slot, workingDirectory_ + "default" + QString::number(slot) + ".pks");
    modified_ = false;
    emit StateChanged();
}

TProjectFile TClientCore::CurrentProject() const {
    TProjectFile project;
    project.MachineCount = RunningCount();
    for (int slot = 0; slot < Slots; ++slot) {
        project.Volumes[slot] = volumes_[slot];
        project.Mutes[slot] = muted_[slot];
    }
    return project;
}

bool TClientCore::SaveProject() {
    if (RunningCount() <= 0)
        return false;
    if (projectFileName_.isEmpty())
        return Prompts && Prompts->ChooseProjectFileAndSave();
    return SaveProjectAs(projectFileName_);
}

bool TClientCore::SaveProjectAs(const QString& fileName) {
    if (RunningCount() <= 0 || fileName.isEmpty())
        return false;
    try {
        WriteProjectFile(StripExtension(fileName) + ".pkp", CurrentProject());
    } catch (const TControlError& error) {
        Fail(QString::fromStdString(error.what()));
        return false;
    }
    projectFileName_ = fileName;
    SaveAction(fileName);
    return true;
}

// Each machine saves its song beside the project, named after it and its slot.
void TClientCore::SaveAction(const QString& fileName) {
    currentProjectName_ = fileName;
    modified_ = false;
    BroadcastCommand(RemoteWords::Save, fileName);
    for (int slot = 1; slot <= std::min(SlotCount(), Slots); ++slot)
        if (Running(slot)) // the machine's own naming: numbered after the path without extension
            songFiles_[slot - 1] = ProjectSongFile(StripExtension(fileName), slot);
    emit StateChanged();
}

void TClientCore::LoadSong(int slot, const QString& path) {
    SendCommand(slot, RemoteWords::Load, path);
    songFiles_[slot - 1] = path;
}

void TClientCore::ForgetSongs() {
    songFiles_ = {};
}

bool TClientCore::OpenProject(const QString& fileName) {
    const QString base = StripExtension(fileName);
    TProjectFile project;
    try {
        project = ReadProjectFile(base + ".pkp"); // a bad file changes nothing
    } catch (const TControlError& error) {
        Fail(QString::fromStdString(error.what()));
        return false;
    }
    BroadcastCommand(RemoteWords::Stop, "0");
    playRequest_ = TPlayRequest::None;
    // The machines beyond the project's count go, highest first; their questions are about the
    // project as it was.
    for (int slot = Slots; slot > project.MachineCount; --slot) {
        if (!Running(slot))
            continue;
        if (!muted_[slot - 1]) {
            muted_[slot - 1] = true;
            SendCommand(slot, RemoteWords::Mute, "0");
        }
        if (!StopMachine(slot))
            return false; // the user cancelled
    }
    for (int slot = 1; slot <= Slots; ++slot) {
        volumes_[slot - 1] = project.Volumes[slot - 1];
        emit VolumeChanged(slot, volumes_[slot - 1]);
    }
    ApplyProject(fileName, project);
    return true;
}

void TClientCore::ApplyProject(const QString& fileName, const TProjectFile& project) {
    const QString base = StripExtension(fileName);
    currentProjectName_ = base;
    // The full path, so that saving again writes where the project came from.
    projectFileName_ = fileName;
    projectFileFolder_ = QFileInfo(fileName).absolutePath();
    ForgetSongs(); // before the starts: no machine loads the old project's song
    for (int slot = 1; slot <= project.MachineCount; ++slot)
        if (!Running(slot))
            StartMachine(slot);
    const QStringList missing = LoadProjectSongs(base, project.MachineCount);
    for (int slot = 1; slot <= Slots; ++slot)
        if (Running(slot))
            SendCommand(slot, RemoteWords::SetVolume, QString::number(volumes_[slot - 1]));
    RestoreMutes(project);
    modified_ = false;
    emit StateChanged();
    if (!missing.isEmpty())
        ReportMissingSongs(missing);
}

// Machine n loads its own song file P<n>.pks; without one it starts a new song rather than
// keep the song of whatever ran there before. Returns the missing files.
QStringList TClientCore::LoadProjectSongs(const QString& base, int machineCount) {
    const QStringList missing = MissingProjectSongs(base, machineCount);
    for (int slot = 1; slot <= machineCount; ++slot) {
        const QString song = ProjectSongFile(base, slot);
        if (missing.contains(song))
            SendCommand(slot, RemoteWords::NewSong, ""); // a restart brings the slot's default
        else
            LoadSong(slot, song);
    }
    return missing;
}

void TClientCore::ReportMissingSongs(const QStringList& files) {
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    const QString message = LogTexts(language_).MissingSongs.arg(names.join(", "));
    AppendLog(message);
    Fail(message);
}

void TClientCore::RestoreMutes(const TProjectFile& project) {
    for (int slot = 1; slot <= project.MachineCount; ++slot)
        if (Running(slot) && project.Mutes[slot - 1] != muted_[slot - 1])
            ToggleMute(slot);
}

void TClientCore::ChooseProjectDirectory(const QString& folder) {
    settings_.ProjectDirectory = folder;
    BroadcastCommand(RemoteWords::Directory, folder);
    emit StateChanged();
}

void TClientCore::ChooseMidiDirectory(const QString& folder) {
    settings_.MidiDirectory = folder;
    BroadcastCommand(RemoteWords::MidiDirectory, folder);
    emit StateChanged();
}

bool TClientCore::StartMidiExport(const QString& chosenName, int maxWaits) {
    const QString base = StripExtension(chosenName);
    return StartMidiExportTo(base, base + ".mid", maxWaits);
}

bool TClientCore::StartMidiExportTo(const QString& base, const QString& output, int maxWaits) {
    std::array<bool, Slots> exporting{};
    for (int slot = 1; slot <= std::min(SlotCount(), Slots); ++slot)
        exporting[slot - 1] = Running(slot);
    if (std::find(exporting.begin(), exporting.end(), true) == exporting.end())
        return false;
    BroadcastCommand(RemoteWords::SaveMidi, base);
    export_.Start(base, output, exporting, maxWaits);
    emit StateChanged();
    return true;
}

TMidiExportWait::TState TClientCore::PollMidiExport() {
    if (export_.State() != TMidiExportWait::TState::Waiting)
        return export_.State(); // its end was told when it came (also by MachineEnded)
    const auto state = export_.Poll();
    if (state == TMidiExportWait::TState::TimedOut) {
        AppendLog(LogTexts(language_).MidiExportMissing + export_.MissingFiles().join(", "));
    } else if (state == TMidiExportWait::TState::Failed) {
        AppendLog(LogTexts(language_).MidiExportFailed + export_.Error());
        Fail(export_.Error());
    }
    if (state != TMidiExportWait::TState::Waiting)
        emit StateChanged();
    return state;
}

bool TClientCore::ReadSettings(const QString& path) {
    try {
        settingsFound_ = ReadControllerSettings(path, settings_) == TSettingsRead::Read;
        if (!settingsFound_)
            return WriteSettings(path);
        SetLanguage(settings_.Language.value_or(DefaultLanguage));
        FollowLinkSession(settings_.Link);
    } catch (const TControlError& error) {
        Fail(QString::fromStdString(error.what()));
        return false;
    }
    emit StateChanged();
    return true;
}

bool TClientCore::WriteSettings(const QString& path) {
    try {
        WriteControllerSettings(path, settings_);
    } catch (const TControlError& error) {
        Fail(QString::fromStdString(error.what()));
        return false;
    }
    return true;
}

void TClientCore::SetLanguage(TLanguage language) {
    if (language == language_)
        return;
    language_ = language;
    emit LanguageChanged();
}

void TClientCore::ChooseLanguage(TLanguage language) {
    settings_.Language = language;
    SetLanguage(language);
}

void TClientCore::ChooseFollowTransport(bool on) {
    settings_.FollowTransport = on;
    emit StateChanged();
}

void TClientCore::ChooseSendClock(bool on) {
    settings_.SendClock = on;
    emit StateChanged();
}

// A machine follows either a MIDI clock or Link: choosing one lets go of the other.
void TClientCore::ChooseFollowClock(bool on) {
    settings_.FollowClock = on;
    if (on && settings_.Link) {
        settings_.Link = false;
        FollowLinkSession(false);
    }
    emit StateChanged();
}

void TClientCore::ChooseLink(bool on) {
    settings_.Link = on;
    if (on)
        settings_.FollowClock = false;
    FollowLinkSession(on);
    emit StateChanged();
}

void TClientCore::FollowSessionTempo() {
    if (follower_)
        follower_->Poll();
}

// What the bar shows is what a machine started later gets once Link is off again.
void TClientCore::FollowLinkSession(bool on) {
    if (!on) {
        follower_.reset();
        return;
    }
    if (follower_)
        return;
    const int position = tempo_.value_or(DefaultTempo);
    follower_ = std::make_unique<TTempoFollower>(JoinSession(BpmOfBarPosition(position)), position);
    connect(follower_.get(), &TTempoFollower::Followed, this, [this](int32_t followed) {
        tempo_ = followed;
        emit TempoFollowed(followed);
    });
}

void TClientCore::SetWindowPosition(int left, int top) {
    settings_.Left = left;
    settings_.Top = top;
}
