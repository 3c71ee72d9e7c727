#pragma once

#include "FormPositions.h"
#include "InfoForm.h"
#include "Machine.h"
#include "NewOptions.h"
#include "Pk2MidForm.h"
#include "editors/PatternForm.h"
#include "editors/SongForm.h"
#include "files/ExportOptions.h"
#include "midi/MidiDebugger.h"
#include "server/RemoteServer.h"
#include "server/Server.h"
#include "server/ServerCommands.h"
#include "statistics.h"

#include <QObject>
#include <string>
#include <vector>

// The machine's windows, created in their fixed order, with the start-up steps that follow:
// the German texts, a song named on the command line, window placement, skin and hints.
class QMessageBox;

class TMachineWindows : public QObject {
    Q_OBJECT
public:
    // `arguments` is the command line with argument 0; `settingsPath` overrides the settings
    // file beside the program (for tests).
    // `port` replaces the system's MIDI ports (for tests).
    explicit TMachineWindows(std::vector<std::string> arguments, std::string settingsPath = {},
                             std::unique_ptr<TMidiPort> port = nullptr);

    // In creation order.
    TMachine Machine;
    Tserverform Server;
    TForm1 Form1;
    TForm3 Form3; // pattern editor
    TForm2 Form2; // MIDI export options
    TForm4 Form4; // info
    TForm5 Form5; // track editor
    TForm6 Form6; // MIDI debugger
    TForm8 Form8; // song properties
    TForm9 Form9; // statistics

    const TWindowSet& Windows() const { return windows_; }

    // Publishes the command server under the program's name (argument 0) and hands its macros
    // to the command handler. False, with a line on standard error, when another machine
    // already answers under that name.
    bool PublishServer();

    TServerCommands Commands{*this};
    TRemoteServer Remote;

signals:
    void Ended(); // the shutdown went through

private:
    QMessageBox* failureBox_ = nullptr; // owned by the main window
    TMachine& Prepared(std::vector<std::string> arguments, std::string settingsPath,
                       std::unique_ptr<TMidiPort> port);
    void Connect();
    void LoadLanguageTexts();
    void ConnectEditors();
    void InstallKeys();
    void FinishStartUp(); // the start-up form's steps
    TWindowSet windows_;
};

// Starts the machine's windows and runs until the server window closes.
int RunMachine(int argc, char** argv);
