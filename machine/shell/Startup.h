#pragma once

#include "ExportOptions.h"
#include "FormPositions.h"
#include "InfoForm.h"
#include "Machine.h"
#include "MidiControlForm.h"
#include "MidiDebugger.h"
#include "NewOptions.h"
#include "Pk2MidForm.h"
#include "Server.h"
#include "editors/PatternForm.h"
#include "editors/SongForm.h"
#include "server/MachineServer.h"
#include "server/MachineView.h"
#include "statistics.h"

#include <QObject>
#include <string>
#include <vector>

// The machine's windows, created in their fixed order, with the start-up steps that follow:
// the texts of the chosen language, a song named on the command line, window placement, skin and
// hints. It does for the command server what only the windows can do.
class QMessageBox;

class TMachineWindows : public QObject, public TMachineView {
    Q_OBJECT
public:
    // `arguments` is the command line with argument 0 ("--language de|en" chooses the language
    // for this run); `settingsPath` overrides the settings
    // file beside the program (for tests).
    // `port` replaces the system's MIDI ports (for tests).
    explicit TMachineWindows(std::vector<std::string> arguments, std::string settingsPath = {},
                             std::unique_ptr<TMidiPort> port = nullptr);
    ~TMachineWindows() override;

    // In creation order.
    TMachine Machine;
    TMachineServer CommandServer{
        Machine.Session, {Machine.Settings.SongFolder, Machine.Settings.MidiFolder}, *this};
    TCommandChannel& Channel = CommandServer.Channel;
    TServerCommands& Commands = CommandServer.Commands;
    Tserverform Server{Channel};
    TForm1 Form1;
    TForm3 Form3; // pattern editor
    TForm2 Form2; // MIDI export options
    TForm4 Form4; // info
    TForm5 Form5; // track editor
    TForm6 Form6; // MIDI debugger
    TForm8 Form8; // song properties
    TForm9 Form9; // statistics
    TMidiControlForm MidiControlForm;

    const TWindowSet& Windows() const { return windows_; }

    // Publishes the command server under the program's name (argument 0). False, with a line on
    // standard error, when another machine already answers under that name: the machine then
    // runs without one.
    bool PublishServer();

    // What the command server asks of the windows.
    void MinimizeWindows() override;
    void RestoreWindows() override;
    void ShowConnected(int32_t number, bool first) override;
    void NextSkin() override;
    bool Layout(int layout, int32_t number) override;

signals:
    void Ended(); // the shutdown went through

private:
    TMachine& Prepared(std::vector<std::string> arguments, std::string settingsPath);
    void Connect();
    void UseLanguageOfRun();
    void ChooseLanguage(TLanguage language);
    void LoadLanguageTexts();
    void ConnectEditors();
    void InstallKeys();
    void AddKey(QWidget& window, const QKeySequence& sequence, const std::function<void()>& action);
    void EnterControlledMode();
    void FinishStartUp(); // the start-up form's steps
    void ShowMidiControlProblems();
    TWindowSet windows_;
    int statisticsListener_ = 0;
};

// Starts the machine's windows and runs until the server window closes.
int RunMachine(int argc, char** argv);
