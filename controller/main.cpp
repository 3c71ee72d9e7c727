#include "cli/ControlCommandLine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

// Options starting with "--" run without windows.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString programDirectory = QCoreApplication::applicationDirPath() + "/";
    if (!args.isEmpty() && args[0].startsWith("--"))
        return RunControlCommandLine(args, programDirectory, out, err);
    err << "PKControl: the controller window is not part of this build yet; see --help\n";
    return 2;
}
