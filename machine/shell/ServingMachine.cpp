#include "ServingMachine.h"

#include "EndSignals.h"
#include "LocalFileNames.h"
#include "files/FileError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

namespace {

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

// A song that is missing or does not load leaves the new song, and says so; the machine serves
// all the same.
void LoadSongArgument(TMachine& machine) {
    const QString song = FromLocal(machine.SongArgument());
    if (song.isEmpty())
        return;
    if (!QFileInfo(song).isFile())
        return Report(QString::fromStdString(MessageText(CannotOpenMessage(Local(song)))));
    if (const auto result = machine.Session.Load(Local(song)); !result.Loaded)
        Report(QString::fromLocal8Bit(result.Error.c_str()));
}

} // namespace

TServingMachine::TServingMachine(std::vector<std::string> arguments, std::string settingsPath,
                                 std::unique_ptr<TMidiPort> port)
    : Machine(std::move(port)) {
    Machine.TakeCommandLine(std::move(arguments));
    Machine.SettingsPath = std::move(settingsPath);
    std::string folderProblem;
    Machine.ReadSettingsFile(TMachine::FallbackScreenHeight, folderProblem);
    if (!folderProblem.empty())
        Report(FromLocal(folderProblem));
    const TLanguage language = Machine.UseLanguageOfRun();
    Machine.Session.UseTexts(LoadMessageTexts(LanguageTable(language)));
    for (const TUserMessage& problem : Machine.MidiControlProblems) {
        Report(QString::fromStdString(MessageText(problem)));
        Machine.Session.DebugLog().Append(MessageText(problem));
    }
    LoadSongArgument(Machine);
    TMachineSession& session = Machine.Session;
    Server.Channel.Connected = [&session] { return session.Connected(); };
    Server.Channel.StopPlayback = [&session] { session.Stop(); };
    Server.Remote.ReportFailure = Report;
}

int RunServingMachine(int argc, char** argv) {
    QCoreApplication application(argc, argv); // no display, no platform plug-in
    QCoreApplication::setApplicationName("Plinkora");
    TServingMachine serving(ServingArguments(argc, argv));
    TMachineServer& server = serving.Server;
    if (!server.Publish(QFile::decodeName(argv[0]))) {
        Report(server.Remote.ErrorString()); // serving is all it is for
        return 1;
    }
    EndOnSignals(server.Channel, [&server] { server.Channel.RequestEnd(false); });
    QObject::connect(&server.Channel, &TCommandChannel::Ended, &application,
                     &QCoreApplication::quit);
    return application.exec();
}
