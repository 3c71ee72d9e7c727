// The controller's project export without windows: times `PKControl --export-midi` on a
// four-machine project (machines started, songs loaded, MIDI files written and joined, machines
// ended) several times and prints the whole time and the time of each phase, per run and as the
// median, beside one machine's own export of one song (`Plinkora --export-midi`). Then it
// starts the controller's window (offscreen) with that project, ends it as closing its window
// does (SIGTERM) and prints how long until every machine has gone.
//
//   ControllerExportBench [PKCONTROL_PROGRAM] [RUNS]
//
// Without a program the controller is looked for beside this program and one folder up; it
// starts the Plinkora beside itself.

#include "BenchProject.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <vector>

namespace {

// The median time (ms) of one machine exporting one song of the project.
double OneMachineExportMs(const QString& machine, const QString& folder, int runs) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QProcess process;
        QElapsedTimer clock;
        clock.start();
        process.start(machine, {"--export-midi", folder + "/band1.pks", folder + "/one.mid"});
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return -1;
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    return Median(times);
}

bool Gone(qint64 pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z"; // ended, not yet reaped
}

// The machines (PK0 .. PK3) running in `workFolder`.
std::vector<qint64> MachinesIn(const QString& workFolder) {
    std::vector<qint64> pids;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile command("/proc/" + entry + "/cmdline");
        if (!number || QFile::symLinkTarget("/proc/" + entry + "/cwd") != workFolder ||
            !command.open(QIODevice::ReadOnly))
            continue;
        const QByteArray program = command.readAll().split('\0').value(0);
        if (QRegularExpression("(^|/)PK[0-3]$").match(QString::fromLocal8Bit(program)).hasMatch())
            pids.push_back(pid);
    }
    return pids;
}

// The controller's window with the project's four machines, then SIGTERM: ms until every
// machine has gone; negative when the machines did not come up.
double CloseWithFourMachinesMs(const QString& controller, const QString& folder, int run) {
    const QString work = folder + QString("/close%1").arg(run);
    const QString runtime = work + "/run";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("PLINKORA_MIDI_LOG", work + "/midi.log");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(work);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QFileInfo(controller).absoluteFilePath(), {folder + "/band.pkp"});
    std::vector<qint64> machines;
    for (int wait = 0; wait < 10000 && machines.size() < 4; wait += 10) {
        QThread::msleep(10);
        machines = MachinesIn(QFileInfo(work).canonicalFilePath());
    }
    QThread::msleep(2000); // the songs load, the volumes arrive
    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    for (const qint64 pid : machines)
        while (!Gone(pid) && clock.elapsed() < 20000)
            QThread::msleep(1);
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    process.waitForFinished(20000);
    if (machines.size() != 4)
        std::fprintf(stderr, "found %zu machines in %s\n", machines.size(), qPrintable(work));
    return machines.size() == 4 ? ms : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString controller = FindProgram(app.arguments(), "PKControl");
    const int runs = RunsWanted(app.arguments());
    if (controller.isEmpty() || runs < 1) {
        std::fprintf(stderr, "usage: ControllerExportBench [PKCONTROL_PROGRAM] [RUNS]\n");
        return 2;
    }
    QTemporaryDir folder;
    WriteBandProject(folder.path());
    std::map<QString, std::vector<double>> phases;
    std::vector<double> wholes;
    std::printf("PKControl --export-midi, four machines, %d runs\n", runs);
    for (int run = 1; run <= runs; ++run) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        process.start(controller, {"--export-midi", folder.path() + "/band.pkp",
                                   folder.path() + "/band.mid", "--timings"});
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            std::fprintf(stderr, "the export failed\n");
            return 1;
        }
        const double whole = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        wholes.push_back(whole);
        std::printf("run %d: whole %.0f ms;", run, whole);
        for (const QByteArray& line : process.readAllStandardOutput().trimmed().split('\n')) {
            const QList<QByteArray> fields = line.split(' '); // "start 412 ms"
            if (fields.size() != 3)
                continue;
            phases[QString::fromLatin1(fields[0])].push_back(fields[1].toDouble());
            std::printf(" %s %s ms", fields[0].constData(), fields[1].constData());
        }
        std::printf("\n");
    }
    std::printf("median: whole %.0f ms;", Median(wholes));
    for (const char* phase : {"prepare", "start", "load", "export", "end"})
        if (phases.contains(phase))
            std::printf(" %s %.0f ms", phase, Median(phases[phase]));
    std::printf("\n");
    const QString machine = QFileInfo(controller).absolutePath() + "/Plinkora";
    const double one = OneMachineExportMs(machine, folder.path(), runs);
    if (one > 0)
        std::printf("one machine's export (Plinkora --export-midi, median): %.0f ms; the project "
                    "export takes %.1fx that\n",
                    one, Median(wholes) / one);
    std::vector<double> closes;
    for (int run = 1; run <= 3; ++run)
        if (const double ms = CloseWithFourMachinesMs(controller, folder.path(), run); ms >= 0)
            closes.push_back(ms);
    if (closes.empty())
        std::printf("closing the controller: the four machines did not start\n");
    else
        std::printf("closing the controller with four machines running: all gone after %.0f ms "
                    "(median of %zu)\n",
                    Median(closes), closes.size());
    return 0;
}
