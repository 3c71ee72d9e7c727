#pragma once

#include "Machine.h"
#include "Skins.h"
#include "WheelBar2003.h"
#include "widgets/DropWatch.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

class TCommandChannel;

// The main window: menus, tempo, transport, device, patch, bank, transposition and channel. Its
// controls call the session's operations and show what the session reports.
// The device list, which looks the devices up again as it opens.
class TDeviceBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> Opening;
    void showPopup() override;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    TForm1(TMachine& machine, TCommandChannel& channel, QWidget* parent = nullptr);
    ~TForm1() override;

    // Texts the windows show, replaced by the current language's texts.
    QString SaveQuestion = "Do you want to save the current song?";
    QString OverwriteQuestion = "Overwrite the existing file?";
    QString UndoText = "Undo";
    QString RedoText = "Redo";
    QString RenderingText = "Rendering the sound file...";
    QString CancelText = "Cancel";
    QString VersionText;

    // Transport (the playback engine does the work).
    QPushButton* Button6;      // "> PAT."
    QPushButton* Button1;      // "> SONG"
    QPushButton* Button2;      // "STOP"
    QPushButton* Button3;      // "RESET"
    QToolButton* SpeedButton1; // play toggle
    QToolButton* SpeedButton2; // stop toggle
    QToolButton* SpeedButton3; // "PAT." mode
    QToolButton* SpeedButton4; // "TRACK" mode
    // Tempo: step time = 1030 - position.
    TWheelBar2003* ScrollBar2;
    QLabel* BpmValue;
    QLabel* MsValue;
    // The status beside the tempo bar. While Link is on: the other peers of the session; a notice
    // of the session (its tempo beyond the bar's range) or of the MIDI input marks it, its full
    // text in the hint. Otherwise the MIDI input's notice, when there is one.
    QLabel* LinkPeers;
    // Output.
    QComboBox* ComboBox1;      // devices: "Midi Mapper" first
    QComboBox* MidiInputBox;   // "none", the ALSA input ports, "JACK" while a server runs
    QLineEdit* Edit1;          // patch name
    QToolButton* SpeedButton5; // "..." patch menu
    QSpinBox* SpinEdit1;       // patch, -1..128, wraps
    QSpinBox* SpinEdit4;       // bank, -1..128, wraps
    QSpinBox* SpinEdit2;       // transposition
    QSpinBox* SpinEdit3;       // channel, 0..17, wraps over 1..16
    QMenu* PatchMenu;
    TSkins* Skins; // the background skin shared by the windows
    // The file dialogs are made when first shown: a machine that never shows one (as under a
    // controller's export) starts faster and leaves the toolkit's dialog settings file alone.
    QFileDialog* OpenDialog1 = nullptr; // the song open dialog
    QFileDialog* SaveDialog1 = nullptr; // the save dialog shared by songs and MIDI files

    // Menu items.
    QAction* NewProject1;
    QAction* Drumsession1;
    QAction* SongKeepPatterns1;
    QAction* Load1;
    QAction* Save1;
    QAction* SaveAs1;
    QAction* ExportMidi1;
    QAction* ExportAudio1;
    QAction* Exit1;
    QAction* SongDirectory1;
    QAction* MidiDirectory1;
    QAction* Octave[5]; // "1 Octave" .. "5 Octaves"
    QAction* PreviewofTones1;
    QAction* SendClock1;       // Options > "Send MIDI clock"
    QAction* FollowTransport1; // Options > "Follow JACK transport"
    QAction* Link1;            // Options > "Ableton Link"
    QAction* LinkStartStop1;   // Options > "Sync start/stop"
    QAction* FollowClock1;     // Options > "Follow MIDI clock"
    QAction* MidiControl1;     // Options > "MIDI control..."
    // Options > "Transpose from keyboard": "Off", then channels 1 to 16.
    QAction* KeyboardChannel1[17];
    QAction* German1;  // Options > Language > "Deutsch"
    QAction* English1; // Options > Language > "English"
    QAction* Statistics1;
    QAction* Skin1;
    QAction* Contents1;
    QAction* Info1;
    QAction* Undo1; // "Undo: <step>", Ctrl+Z
    QAction* Redo1; // "Redo: <step>", Ctrl+Y and Ctrl+Shift+Z

    // Handlers, as the controls and menus call them.
    void Button6Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void ScrollBar2Change();
    void ScrollBar2Scroll(); // the end of a tempo gesture
    void ComboBox1Change();
    void SpinEdit1Change();
    void SpinEdit4Change();
    void SpinEdit2Change();
    void SpinEdit3Change();
    void PatchClick(int program);
    void RangeClick(int range);
    void PreviewofTones1Click();
    // The synchronisation items: the session's option for this run, and kept in the settings.
    void SendClock1Click();
    void FollowTransport1Click();
    void Link1Click();
    void LinkStartStop1Click();
    void FollowClock1Click();
    void KeyboardChannelClick(int channel);
    void MidiInputBoxChange();
    // Options > MIDI control... (set by the start-up: it opens the MIDI control window).
    std::function<void()> OpenMidiControl;
    // The status beside the tempo bar in the current language; the start-up calls it when the
    // language changes.
    void ShowLink();
    // The MIDI input list, the keyboard channel items and the greyed tempo bar, in the current
    // language; the start-up calls it when the language changes.
    void ShowMidiIn();
    // Help > Contents: the user guide in the current language beside the program, or a message
    // saying why not.
    void OpenUserGuide();
    // Options > Language: the start-up applies the choice to every window (set by it).
    std::function<void(TLanguage)> ChooseLanguage;
    // Ticks the language item of `language`.
    void ShowLanguage(TLanguage language);
    // The play toggle's accessible name in the current language: screen readers read it with
    // the toggle's pressed state, which tells whether something plays.
    void NamePlayToggle();

    // File menu. DoLoadSong is false at once for a missing file; other failures leave the
    // song as it was and put the reason into `error` when given.
    bool DoLoadSong(const QString& path, QString* error = nullptr);
    void LoadClick();
    void SaveClick();
    bool SaveAsClick(); // false when the user cancelled the dialog
    void NewProjectClick();
    void DrumsessionClick();
    void SongKeepPatternsClick();
    // The save question of the New and Load commands and of closing: Yes saves ("Save As" for
    // the New commands), No goes on, Cancel stops. Returns false on Cancel.
    bool AskSaveQuestion(bool saveAs);

    // The user closed this window and answered its save question: the shutdown that follows
    // must not ask the same question again.
    bool CloseAnswered = false;

    // The undo and redo items name the step they would take, greyed when there is none.
    void ShowHistory();
    // Ticks the note-range item and limits the transposition to the range.
    void ShowRange();
    // The message of a transport start (or tone preview) that could not open the port: the
    // device-busy text, or the port's own explanation (no audio output for the built-in
    // synthesizer).
    void ShowStartResult(TStartResult result);
    // A message that waits for no answer: nothing stops meanwhile (a remote command that caused
    // it is answered, the next one runs). One box shows the latest message.
    void ShowNotice(const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon);
    QMessageBox* NoticeBox() const { return noticeBox_; }

    // The song-properties dialog of File > New > Project (set by the start-up): the new step
    // count, 0 when cancelled. Without one the step count stays.
    std::function<int()> AskStepCount;
    // Writes the settings file from the current values and refreshes the folder entries.
    void MakeIniFile();
    // The Options menu's folder entries: label, "  ->  " and the folder.
    void ShowFolderCaptions();
    void SongDirectory1Click();
    void Skin1Click();
    void MidiDirectory1Click();
    // The user dropped the window after moving it (no move for a moment).
    TDropWatch* Drop;
    // Questions and file dialogs; tests replace them.
    std::function<QMessageBox::StandardButton(const QString& question,
                                              QMessageBox::StandardButtons buttons)>
        Ask;
    std::function<QString(const QString& folder, const QString& proposed)> ChooseSongToSave;
    std::function<QString(const QString& folder)> ChooseSongToOpen;
    std::function<QString(const QString& folder, const QString& proposed)> ChooseMidiToSave;
    std::function<QString(const QString& folder, const QString& proposed)> ChooseAudioToSave;

    // The export sequence through the shared save dialog; true when a file was written.
    bool ExportMidiFile();
    // File > Export Audio: the song through the built-in synthesizer into a WAV, FLAC or OGG
    // file, with a progress dialog; true when a file was written.
    bool ExportAudioFile();

protected:
    void closeEvent(QCloseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateLanguageMenu(QMenu& menu);
    void CreateMidiInItems(QMenu& options);
    void CreateKeyboardMenu(QMenu& menu);
    void CreatePatchMenu();
    void CreateDialogs();
    QFileDialog& OpenDialog();
    QFileDialog& SaveDialog();
    QString ChooseSaveTarget(const std::function<QString(const QString&, const QString&)>& choose,
                             const QString& folder, const QString& proposed,
                             const std::function<QString(const QString&)>& written);
    QString RunSaveDialog(const QString& suffix, const QString& filter, const QString& folder,
                          const QString& proposed);
    void ReadMachineSettings();
    void SessionChanged(TChanges changes);
    void ShowTempo();
    void ShowPlayState();
    void ShowSync();
    // While the status label shows, the tempo bar makes room for it at its right.
    void PlaceStatusLabel(int labelWidth);
    QString MidiInputNoticeText() const;
    static constexpr int TempoBarLeft = 146;
    static constexpr int TempoBarWidth = 250;
    static constexpr int TempoRowTop = 28;
    void ShowOutput();
    QString DialogFolder(const std::string& folder);
    void ChooseFolderFor(std::string& folder, const std::string& localizedTitle,
                         const char* englishTitle);
    void FillDeviceList();
    void FillMidiInputList();
    void ShowMidiInputChoice();
    // The list's entries as the session has them: "none", the ALSA inputs, "JACK" while the
    // output list holds it (a JACK server runs) or the input is JACK.
    QStringList MidiInputEntries();
    int MidiInputIndex() const;
    int32_t alsaInputCount_ = 0;
    // The list again when the session's changed (a JACK server came or went).
    void ShowDeviceList();
    // The device's server went away: the title says so until a device opens, a notice once.
    void ShowDeviceGone();
    bool deviceGoneShown_ = false;
    void NewSongWithSteps(bool drums);
    bool Playing() const;
    int StepTimeOfBar() const;

    TMachine& machine_;
    TMachineSession& session_;
    TCommandChannel& channel_;
    int listener_ = 0;
    QMessageBox* noticeBox_ = nullptr;
};

// Wraps a spin box value over [low, high]: one past the top gives low, one below low gives high.
int WrapValue(int value, int low, int high);

// The Link label's text in the current language: "Link: 2 Peers", "Link: 1 Peer".
QString LinkPeersCaption(int32_t peers);
