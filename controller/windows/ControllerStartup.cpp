#include "ControllerStartup.h"

#include "Client.h"
#include "DesktopSupport.h"
#include "ProgramPlaces.h"
#include "RemoteLink.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnEndSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP end the controller as closing its window does, without questions.
void EndOnSignals(Tclientform& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(signalPipe[0], &byte, 1);
        window.EndWithoutQuestions();
    });
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace

int RunController(int argc, char** argv) {
    PreferX11(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName("PKControl");
    InstallQtGerman(application);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    // Installed, the settings and the default project folder are the user's; the working
    // directory (where the slot programs are made) is the process's either way.
    const QString workingDirectory = QDir::currentPath() + "/";
    const QString programDirectory = QApplication::applicationDirPath() + "/";
    const TProgramPlaces places(QApplication::applicationFilePath());
    const QString settingsFile =
        places.SettingsFile(ControllerSettingsFile(QApplication::applicationFilePath()));
    TClientCore::TLinks links;
    for (auto& link : links)
        link = std::make_unique<TRemoteLink>(workingDirectory);
    QString documentHome = places.DocumentHome(workingDirectory);
    if (!documentHome.endsWith('/'))
        documentHome += '/';
    TClientCore core(std::move(links), workingDirectory, programDirectory, documentHome);
    Tclientform window(core, programDirectory);
    EndOnSignals(window);
    if (const QString problem = MakeFolder(QFileInfo(settingsFile).path()); !problem.isEmpty())
        QMessageBox::warning(nullptr, "Plinkora Control", problem);
    window.StartUp(settingsFile);
    window.show();
    const QString project = arguments.join(' ');
    QTimer::singleShot(0, &window, [&window, project] { window.OpenStartProject(project); });
    return application.exec();
}
