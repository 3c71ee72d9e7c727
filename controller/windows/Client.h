#pragma once

#include "ClientFunctions.h"
#include "ControlLanguages.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QTimer;
class QToolButton;
class TAboutBox;
class TTrackControl;
class TWheelBar2003;

// The controller's window: start and stop the machines, play and stop them together or one by
// one, set tempo, volumes and mutes, move and edit their patterns, switch skin and layout, and
// open, save and export projects. All state lives in the core; the window shows it and hands
// every user action to it.
class Tclientform : public QMainWindow, public TClientPrompts {
    Q_OBJECT
public:
    static constexpr int WindowWidth = 386;
    static constexpr int WindowHeight = 288;
    static constexpr int TempoStart = TClientCore::DefaultTempo;

    // `programDirectory` ends in '/': the help pages lie there.
    Tclientform(TClientCore& core, QString programDirectory, QWidget* parent = nullptr);
    ~Tclientform() override;

    // Start-up once the window exists: settings and window position, the texts in the language
    // of the settings or `runLanguage` (chosen for this run only), the slot program files.
    void StartUp(const QString& settingsFile, std::optional<TLanguage> runLanguage = {});
    // Opens the project named on the command line, as if chosen in the open dialog, when that
    // file exists.
    void OpenStartProject(const QString& projectFile);

    // The questions, answered by a message box unless a test replaces them.
    std::function<QMessageBox::StandardButton(const QString& text,
                                              QMessageBox::StandardButtons buttons)>
        Ask;
    // The file and folder dialogs; empty: cancelled. Tests replace them.
    std::function<QString(const QString& caption, const QString& folder, const QString& name,
                          const QString& filter, bool save)>
        ChooseFile;
    std::function<QString(const QString& prompt, const QString& folder)> ChooseFolder;

    // Closes the window as its close button does, but without the save question (a request to
    // end from outside, e.g. SIGTERM).
    void EndWithoutQuestions();

    // TClientPrompts
    TAnswer AskSaveFirst() override;
    bool ChooseProjectFileAndSave() override;

    // Handlers (also what the tests press).
    void ScrollBar2Change();
    void ScrollBar2Scroll(int code);
    // The Link session's tempo: the bar shows it (and sends nothing), unless the user holds it.
    void FollowTempo(int position);
    void LoadProjectExecute();
    void SaveProjectExecute();
    void ExportMidiExecute();
    // The project's combined MIDI export, then rendered through the built-in synthesizer into
    // a WAV, FLAC or OGG file with a progress dialog.
    void ExportAudioExecute();
    void Timer2Timer();
    void ChooseProjectDirectory();
    void ChooseMidiDirectory();
    // Opens the guide of `program` ("Plinkora" or "Plinkora Control") in the core's language
    // (beside the program, else where it was installed).
    void OpenHelp(const QString& program);
    // The user's choice from the language menu: for this run and kept in the settings.
    void ChooseLanguage(TLanguage language);
    // Space and Ctrl+Space: plays the pattern or the song on all machines, or stops them when
    // that was the last request.
    void PlayOrStop(TClientCore::TPlayRequest request);

    QWidget* Panel;
    std::array<QToolButton*, 9> SpeedButton{}; // 1-4 start, 5-8 stop (index = number)
    QToolButton* SpeedButton9;                 // shift up
    QToolButton* SpeedButton10;                // shift down
    QToolButton* SpeedButton11;                // "Copy"
    QToolButton* SpeedButton13;                // "SONG"
    QToolButton* SpeedButton14;                // "PATTERN"
    QToolButton* SpeedButton15;                // stop all
    QToolButton* PrevSpeedButton;
    QToolButton* NextSpeedButton;
    QToolButton* Button4; // "MIDI  RESET"
    TWheelBar2003* ScrollBar2;
    QLabel* Label6;  // BPM
    QLabel* Label11; // ms
    std::array<TTrackControl*, 5> TrackControl{};
    std::array<QCheckBox*, 5> CheckBox{};
    QPlainTextEdit* Memo1;
    QTimer* Timer2;           // the export poll
    QAction* ExportMidiItem;  // greyed while no machine runs
    QAction* ExportAudioItem; // likewise
    QAction* ProjectDirectory1;
    QAction* MidiDirectory1;
    QAction* LanguageGerman;
    QAction* LanguageEnglish;
    QAction* SyncTransport;   // Options > Synchronisation > "JACK-Transport"
    QAction* SyncClock;       // Options > Synchronisation > "MIDI-Clock senden"
    QAction* SyncLink;        // Options > Synchronisation > "Ableton Link"
    QAction* SyncFollowClock; // Options > Synchronisation > "MIDI-Clock folgen"
    TAboutBox* AboutBox;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateControls();
    void CreateSlotControls();
    void CreateMenus();
    void CreateLanguageMenu(QMenu* options);
    void CreateSyncMenu(QMenu* options);
    void Connect();
    void ShowState();
    void ShowFolderCaptions();
    // Every caption and hint, Qt's own texts and the language menu's tick in the core's
    // language.
    void ShowLanguage();
    const TControlTexts& Texts() const { return ControlTexts(core_.Language()); }
    void ShowFailure(const QString& message);
    bool ConfirmOverwrite(const QString& file);
    QString ProjectDialogFolder();
    QString Existing(const QString& folder);
    // The title of the file dialog a menu item opens: the item's caption in the current
    // language, without its "...".
    QString DialogTitle(const char* menuItem) const;
    QAction* AddAction(QMenu* menu, const char* name, const QString& caption,
                       std::function<void()> handler);
    void RenderExportedProject(bool joined);

    TClientCore& core_;
    QString programDirectory_;
    QString settingsFile_;
    // The sound file waiting for the combined MIDI export, and the folder that export goes to.
    QString audioTarget_;
    std::unique_ptr<QTemporaryDir> audioFolder_;
    bool quiet_ = false; // ending without questions
    bool ended_ = false;
};
