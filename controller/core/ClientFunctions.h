#pragma once

#include "MachineLink.h"
#include "ProcessMidUnit.h"
#include "TempoFollower.h"
#include "inifile.h"
#include "saveProject.h"

#include <QObject>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>

// What the controller needs to ask its user. Without an answerer the core answers "No" and
// never shows a dialog (the command line).
class TClientPrompts {
public:
    enum class TAnswer { Yes, No, Cancel };
    virtual ~TClientPrompts() = default;
    // "Do you want to save the current project?" with Yes, No and Cancel.
    virtual TAnswer AskSaveFirst() = 0;
    // The project save dialog; a confirmed name goes to TClientCore::SaveProjectAs. True when
    // the project was saved.
    virtual bool ChooseProjectFileAndSave() = 0;
};

// The controller without its window: up to four machine slots, the commands sent to them with
// their log lines, the replies they give, the project, the settings and the combined MIDI
// export. The window shows this state and calls these operations; it keeps no copy of its own.
// Slots are numbered 1 to 4; any other slot number does nothing.
class TClientCore : public QObject {
    Q_OBJECT
public:
    static constexpr int Slots = 4;
    // The tempo bar's position before the user or the Link session sets one (200 ms per step).
    static constexpr int DefaultTempo = 830;
    using TLinks = std::array<std::unique_ptr<TMachineLink>, Slots>;
    enum class TSaveAnswer { None, NeedSave, NoSave };
    // The last playback request to all machines (the SONG and PATTERN buttons).
    enum class TPlayRequest { None, Song, Pattern };

    // `workingDirectory` and `programDirectory` end in '/'. The default project and MIDI folder
    // is `documentHome` + "PKProjects" (`documentHome` ends in '/'; empty: the working
    // directory).
    TClientCore(TLinks links, QString workingDirectory, QString programDirectory,
                QString documentHome = {});
    ~TClientCore() override;

    // Slot n's service name ("PK0" for slot 1) and the command line that starts its machine
    // ("PK0 default1.pks").
    static QString ServiceName(int slot);
    static QString StartCommandLine(int slot);

    // --- state ---
    int SlotCount() const { return settings_.SlotCount; }
    int RunningCount() const;
    int LayoutNumber() const { return settings_.LayoutNumber; }
    QString WorkingDirectory() const { return workingDirectory_; }
    QString ProgramDirectory() const { return programDirectory_; }
    QString DefaultProjectDirectory() const { return defaultProjectDirectory_; }
    bool Running(int slot) const;
    bool Muted(int slot) const;
    int Volume(int slot) const; // the slider position, 0 (top) to 127
    bool Selected(int slot) const;
    TSaveAnswer SaveAnswer(int slot) const;
    // Something known to be unsaved: the project's own changes (volumes, mutes) or a running
    // machine whose last answer was "NEEDSAVE".
    bool Modified() const;
    TPlayRequest PlayRequest() const { return playRequest_; }
    const TControllerSettings& Settings() const { return settings_; }
    const QStringList& Log() const { return log_; }
    // The project file last saved (as chosen) or opened (its file-name part); empty after
    // start-up and a new project. Save Project writes to it.
    QString ProjectFileName() const { return projectFileName_; }
    // The folder of the project last opened, where the save dialog starts.
    QString ProjectFileFolder() const { return projectFileFolder_; }
    // The project path without extension last opened or saved: proposes the MIDI file name.
    QString CurrentProjectName() const { return currentProjectName_; }
    const TMidiExportWait& MidiExport() const { return export_; }
    // The language of this run: the log lines and the machines started from now on speak it.
    TLanguage Language() const { return language_; }

    TClientPrompts* Prompts = nullptr;

    // --- commands (log lines: "<COMMAND> --> <slot>") ---
    void SendCommand(int slot, const QString& command, const QString& argument);
    // SendCommand to the running slots from SlotCount() down to 1.
    void BroadcastCommand(const QString& command, const QString& argument);

    // --- slots ---
    // Makes the program files PK0..PK3 in the working directory from the working directory's
    // Plinkora, else the one in the program directory (a hard link, else a copy). False, with a
    // log line naming both places, when there is no Plinkora in either.
    bool PrepareServers();
    // Starts slot n, starting the slots below it first when they do not run.
    void StartMachine(int slot);
    // At start: the machines an earlier controller left running (their services answer) count
    // as running in their slots again, linked as a start links them; nothing is started.
    void TakeBackRunningMachines();
    // Stops slot n after the save question; refused while the slot above runs (slots 1 to 3)
    // or when the slot does not run. False when refused or cancelled.
    bool StopMachine(int slot);
    // Forgets a machine that has gone: not running, one less counted, link closed.
    void ShutDown(int slot);
    // Slot n's machine ended on its own ("SHUTDOWN", or its link dropped): it is forgotten
    // with a log line, and an export waiting for its file ends at once.
    void MachineEnded(int slot);
    // A change of slot n's status item, as one line.
    void StatusReply(int slot, const QString& text);

    // --- playing and editing on all or selected machines ---
    // Sent to every running machine alike, also with "JACK-Transport" on: a machine that follows
    // the transport starts (stops) the transport instead of only itself, after taking the play
    // mode and song line of the command, so all of them play the same way from the one start.
    void PlaySong();
    void PlayPattern();
    void StopAll();
    void MidiReset();
    void NextPattern();
    void PreviousPattern();
    void ShiftPatternUp();
    void ShiftPatternDown();
    void CopyPattern();
    void Select(int slot, bool selected);
    // "SETSPEED" with the tempo slider position (30 to 1000) to the running machines; a machine
    // that starts later gets it too (not while Link is on: it takes the session's tempo). While
    // Link is on, the position also goes to the session.
    void SetSpeed(int position);
    void Skin();
    void Layout(int layout);
    void Minimize();
    void Restore();
    // --- one machine ---
    void PlayPatternOn(int slot);
    void StopOn(int slot);
    void ToggleMute(int slot);
    // Moves slot n's volume slider; a new position is sent as "SETVOLUME".
    void SetVolume(int slot, int position);

    // --- projects ---
    // Whether saving the project would keep anything: the controller's own changes (volumes,
    // mutes) or a running machine that reports unsaved changes or does not answer. Asks the
    // running machines ("DOYOUNEEDSAVE") afresh and waits for their answers.
    bool NeedsSaving();
    // The save question, asked when machines run and something is unsaved; "Yes" saves the
    // project (under its name; a dialog only for an unnamed one). False when the user
    // cancelled.
    bool SaveFirst();
    // Stops the machines above n, starts 1..n and loads the default songs.
    void NewMachines(int count);
    // Loads working directory + "default<n>.pks" into slots 1 to the running count.
    void NewProject();
    // Saves under the current project file, or asks for one. False when nothing was saved.
    bool SaveProject();
    // Writes the project file for `fileName` and has the machines save their songs beside it.
    bool SaveProjectAs(const QString& fileName);
    // Opens a project as if chosen in the open dialog. False (with Failed) on a bad file.
    bool OpenProject(const QString& fileName);
    void ChooseProjectDirectory(const QString& folder);
    void ChooseMidiDirectory(const QString& folder);

    // --- combined MIDI export ---
    // Asks the machines for their files named after `chosenName` and starts waiting for them.
    // False when no machine runs.
    bool StartMidiExport(const QString& chosenName,
                         int maxWaits = TMidiExportWait::DefaultMaxWaits);
    // The same, with the machines' files at base + slot + ".mid" and the joined file `output`.
    bool StartMidiExportTo(const QString& base, const QString& output,
                           int maxWaits = TMidiExportWait::DefaultMaxWaits);
    // One tick of the export poll; logs the outcome once, when this tick ends the export (an
    // export that already ended returns its state and tells nothing again).
    TMidiExportWait::TState PollMidiExport();

    // --- language ---
    // For this run only (e.g. chosen on the command line); the settings keep theirs.
    void SetLanguage(TLanguage language);
    // The user's choice: for this run and kept in the settings.
    void ChooseLanguage(TLanguage language);

    // --- synchronisation (Options > Synchronisation, kept in the settings) ---
    // The machines started from now on get "--follow-transport" / "--clock" / "--follow-clock";
    // those that run keep what they were started with.
    bool FollowsTransport() const { return settings_.FollowTransport; }
    bool SendsClock() const { return settings_.SendClock; }
    bool FollowsClock() const { return settings_.FollowClock; }
    void ChooseFollowTransport(bool on);
    void ChooseSendClock(bool on);
    void ChooseFollowClock(bool on);
    // Ableton Link: the machines started from now on get "--link"; while it is on, the controller
    // is a peer of the session itself and reports the session's tempo as the tempo bar's
    // position (TempoFollowed), which sends nothing to the machines.
    bool LinksOn() const { return settings_.Link; }
    void ChooseLink(bool on);
    // One look at the session's tempo (a timer does it every TTempoFollower::PollMs); nothing
    // while Link is off.
    void FollowSessionTempo();
    // How the controller joins the Link session; tests put a session of their own here.
    TJoinSession JoinSession = JoinLinkSession;

    // --- settings and the end ---
    // Reads the settings file (writing it at once when it is missing). False with Failed when
    // it cannot be read; the defaults stay. A language kept there becomes the run's.
    bool ReadSettings(const QString& path);
    // The settings came from a file (not a first start): its window place is the user's.
    bool SettingsFound() const { return settingsFound_; }
    bool WriteSettings(const QString& path);
    void SetWindowPosition(int left, int top);
    // "Exit" to all four links (each held until handled), then every link closed.
    void CloseAll();

signals:
    void LogAppended(const QString& line);
    // Slot n's status item changed (after the core has handled it).
    void StatusReceived(int slot, const QString& text);
    // A status reply replaced the whole log.
    void LogReplaced(const QStringList& lines);
    // Anything about the slots, the project or the export changed.
    void StateChanged();
    void VolumeChanged(int slot, int position);
    // An operation failed; the message is for the user.
    void Failed(const QString& message);
    void LanguageChanged();
    // The Link session's tempo moved the tempo bar to `position`.
    void TempoFollowed(int position);

private:
    static bool ValidSlot(int slot) { return slot >= 1 && slot <= Slots; }
    TMachineLink* Link(int slot) const { return links_[slot - 1].get(); }
    void AppendLog(const QString& line);
    // The text a machine executes: the command, CR LF, the argument line (also when empty).
    static QString Macro(const QString& command, const QString& argument);
    static QString SentLogLine(const QString& command, int slot);
    void NameLink(int slot);
    void OpenSlot(int slot);
    void ConnectSlot(int slot);
    void CountAsRunning(int slot);
    // "LOAD" to slot n, remembered as the slot's song.
    void LoadSong(int slot, const QString& path);
    // The songs come from files afresh (a project opened, a new project): the slots forget
    // theirs.
    void ForgetSongs();
    void SendToSelected(const QString& command);
    void SendToRunning(const QString& macro, const QString& logLine);
    // The machine on slot n shows the slot's volume and mute (after its link came up).
    void SendVolumeAndMute(int slot);
    TClientPrompts::TAnswer AskSaveFirst();
    void SaveAction(const QString& fileName);
    void ApplyProject(const QString& fileName, const TProjectFile& project);
    QStringList LoadProjectSongs(const QString& base, int machineCount);
    void ReportMissingSongs(const QStringList& files);
    void RestoreMutes(const TProjectFile& project);
    TProjectFile CurrentProject() const;
    void Fail(const QString& message);
    // Joins the Link session (with the bar's tempo) or leaves it.
    void FollowLinkSession(bool on);

    TLinks links_;
    QString workingDirectory_;
    QString programDirectory_;
    QString defaultProjectDirectory_;
    TControllerSettings settings_;
    std::array<bool, Slots> running_{};
    std::array<bool, Slots> muted_{};
    std::array<int, Slots> volumes_{};
    std::array<bool, Slots> selected_{true, true, true, true};
    std::array<TSaveAnswer, Slots> answers_{};
    // The song file each slot last loaded or saved at the controller's word: a machine that
    // starts again in that slot loads it.
    std::array<QString, Slots> songFiles_;
    // The tempo last sent or followed from the Link session; none until the user sets one (the
    // songs' own tempos play).
    std::optional<int> tempo_;
    // Pressed when the slot was stopped from here, released when it starts again; a machine
    // that ended on its own keeps its slot's mute.
    std::array<bool, Slots> muteReleasedOnStart_{};
    bool modified_ = false; // the project file's own changes: volumes, mutes
    bool settingsFound_ = false;
    TPlayRequest playRequest_ = TPlayRequest::None;
    TLanguage language_ = DefaultLanguage;
    QStringList log_;
    QString projectFileName_;
    QString projectFileFolder_;
    QString currentProjectName_;
    TMidiExportWait export_;
    std::unique_ptr<TTempoFollower> follower_; // while Link is on
};
