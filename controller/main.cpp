#include "cli/ControlCommandLine.h"
#include "windows/ControllerStartup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

// Options starting with "--" run without windows; anything else starts the window (the
// arguments then name a project to open).
int main(int argc, char** argv) {
    if (argc < 2 || !QByteArray(argv[1]).startsWith("--"))
        return RunController(argc, argv);
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString programDirectory = QCoreApplication::applicationDirPath() + "/";
    return RunControlCommandLine(args, programDirectory, out, err);
}
