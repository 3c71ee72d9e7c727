#include "ServingMachine.h"

#include "EndSignals.h"
#include "LocalFileNames.h"
#include "Machine.h"
#include "server/MachineView.h"
#include "server/RemoteServer.h"
#include "server/Server.h"
#include "server/ServerCommands.h"

#include <QApplication>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

namespace {

// The commands that move, show or paint windows have none to act on.
class TNoWindows : public TMachineView {
public:
    explicit TNoWindows(TMachine& machine) : machine_(machine) {}
    void MinimizeWindows() override {}
    void RestoreWindows() override {}
    void ShowConnected(int32_t, bool) override {}
    void NextSkin() override {}
    bool Layout(int layout, int32_t) override { return layout >= 1 && layout <= 3; }
    void SetSongFolder(const std::string& folder) override {
        machine_.Settings.SongFolder = folder;
    }
    void SetMidiFolder(const std::string& folder) override {
        machine_.Settings.MidiFolder = folder;
    }

private:
    TMachine& machine_;
};

void Report(const QString& text) {
    std::fprintf(stderr, "Plinkora: %s\n", text.toLocal8Bit().constData());
}

// The command line without "--serve" (the first one: a song may have that name).
std::vector<std::string> ServingArguments(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    if (const auto serve = std::find(arguments.begin() + 1, arguments.end(), "--serve");
        serve != arguments.end())
        arguments.erase(serve);
    return arguments;
}

// A song that does not load leaves the new song; the machine serves all the same.
void LoadSongArgument(TMachine& machine) {
    const QString song = FromLocal(machine.SongArgument());
    if (song.isEmpty() || !QFileInfo(song).isFile())
        return;
    if (const auto result = machine.Session.Load(Local(song)); !result.Loaded)
        Report(QString::fromLocal8Bit(result.Error.c_str()));
}

} // namespace

int RunServingMachine(int argc, char** argv) {
    // Never shown, so nothing needs a screen or fonts.
    qputenv("QT_QPA_PLATFORM", "minimal");
    QApplication application(argc, argv);
    QApplication::setApplicationName("Plinkora");
    QApplication::setQuitOnLastWindowClosed(false);
    TMachine machine;
    machine.TakeCommandLine(ServingArguments(argc, argv));
    std::string folderProblem;
    machine.ReadSettingsFile(TMachine::FallbackScreenHeight, folderProblem);
    if (!folderProblem.empty())
        Report(FromLocal(folderProblem));
    const TLanguage language = machine.UseLanguageOfRun();
    machine.Session.UseTexts(LoadMessageTexts(LanguageTable(language)));
    LoadSongArgument(machine);

    Tserverform server;
    server.EndWithoutQuestion = true;
    server.Connected = [&machine] { return machine.Session.Connected(); };
    server.StopPlayback = [&machine] { machine.Session.Stop(); };
    TNoWindows view(machine);
    TServerCommands commands(machine.Session, server, view);
    TRemoteServer remote;
    remote.HandleMacro = [&commands](const QStringList& lines) {
        commands.TestTopicExecuteMacro(lines);
    };
    remote.ReportFailure = Report;
    remote.Bind(server);
    if (!remote.Listen(TRemoteServer::ServiceNameForProgram(QFile::decodeName(argv[0])))) {
        Report(remote.ErrorString()); // serving is all it is for
        return 1;
    }
    EndOnSignals(server, [&server] { server.StartShutdown(); });
    QObject::connect(&server, &Tserverform::Closed, &application, &QApplication::quit);
    return application.exec();
}
