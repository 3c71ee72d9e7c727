#include "ControllerStartup.h"

#include "Client.h"
#include "DesktopSupport.h"
#include "EndSignals.h"
#include "ProgramPlaces.h"
#include "RemoteLink.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

int RunController(int argc, char** argv, std::optional<TLanguage> runLanguage) {
    PreferX11(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName("PKControl");
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    // The settings and the default project folder are beside the program (installed: the
    // user's); the working directory (where the slot programs are made) is the process's.
    const QString workingDirectory = QDir::currentPath() + "/";
    const QString programDirectory = QApplication::applicationDirPath() + "/";
    const TProgramPlaces places(QApplication::applicationFilePath());
    const QString settingsFile =
        places.SettingsFile(ControllerSettingsFile(QApplication::applicationFilePath()));
    TClientCore::TLinks links;
    for (auto& link : links)
        link = std::make_unique<TRemoteLink>(workingDirectory);
    QString documentHome = places.DocumentHome();
    if (!documentHome.endsWith('/'))
        documentHome += '/';
    TClientCore core(std::move(links), workingDirectory, programDirectory, documentHome);
    Tclientform window(core, programDirectory);
    EndOnSignals(window, [&window] { window.EndWithoutQuestions(); });
    if (const QString problem = MakeFolder(QFileInfo(settingsFile).path()); !problem.isEmpty())
        QMessageBox::warning(nullptr, "Plinkora Control", problem);
    window.StartUp(settingsFile, runLanguage);
    window.show();
    const QString project = arguments.join(' ');
    QTimer::singleShot(0, &window, [&window, project] { window.OpenStartProject(project); });
    return application.exec();
}
