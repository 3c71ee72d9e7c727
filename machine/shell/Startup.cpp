#include "Startup.h"

#include "Machine.h"
#include "Pk2MidForm.h"
#include "server/Server.h"

#include <QApplication>
#include <QFileInfo>

namespace {

// Window placement needs X11: in a Wayland session prefer XWayland unless a platform was named.
void PreferX11(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "-platform")
            return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// Arguments 1..n joined with single spaces: a path with spaces survives being split.
QString SongArgument(const std::vector<std::string>& arguments) {
    std::string joined;
    for (size_t i = 1; i < arguments.size(); ++i)
        joined += (i > 1 ? " " : "") + arguments[i];
    return QString::fromLocal8Bit(joined.c_str());
}

} // namespace

int RunMachine(int argc, char** argv) {
    PreferX11(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Plinkora");
    QApplication::setQuitOnLastWindowClosed(false);

    TMachine machine;
    machine.Arguments.assign(argv, argv + argc);

    Tserverform server;
    TForm1 form1(machine, server);
    QObject::connect(&server, &Tserverform::Closed, &application, &QApplication::quit);
    server.AskCloseQuestion = [&form1, &machine] {
        return !machine.Song.SongModified || form1.AskSaveQuestion(false);
    };
    server.StopPlayback = [&form1] { form1.Button2Click(); };

    // End of start-up.
    const QString song = SongArgument(machine.Arguments);
    if (!song.isEmpty() && QFileInfo(song).isFile()) {
        QString error;
        if (!form1.DoLoadSong(song, &error) && !error.isEmpty())
            QMessageBox::warning(&form1, "Plinkora", error);
    }
    form1.show();
    form1.raise();
    form1.activateWindow();
    return application.exec();
}
