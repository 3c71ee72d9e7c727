// The controller's project export without windows: times `PKControl --export-midi` on a
// four-machine project (machines started, songs loaded, MIDI files written and joined, machines
// ended) several times and prints the whole time and the time of each phase, per run and as the
// median.
//
//   ControllerExportBench [PKCONTROL_PROGRAM] [RUNS]
//
// Without a program the controller is looked for beside this program and one folder up; it
// starts the Plinkora beside itself.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

QString FindController(const QStringList& arguments) {
    if (arguments.size() > 1)
        return arguments[1];
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {here.filePath("PKControl"), here.filePath("../PKControl")})
        if (QFile::exists(candidate))
            return QDir::cleanPath(candidate);
    return {};
}

void Write(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
}

// Four songs of 16 steps, 8 patterns and a 32-line track each, and the project naming them.
void WriteProject(const QString& folder) {
    QByteArray project = "Plinkora Project\r\nV1\r\nNumMachines\r\n4\r\n";
    for (int line = 4; line < 40; ++line)
        project += "0\r\n";
    Write(folder + "/band.pkp", project);
    for (int slot = 1; slot <= 4; ++slot) {
        QByteArray song = "Plinkora Song\r\n125 ms\r\n8 Pattern\r\n";
        for (int pattern = 0; pattern < 8; ++pattern) {
            for (int step = 0; step < 16; ++step)
                song += QByteArray::number((step * 7 + pattern * 3 + slot) % 25) + " ";
            song += "\r\n";
        }
        song += "32 Songlines\r\n";
        for (int line = 0; line < 32; ++line)
            song += QByteArray::number(line % 8 + 1) + " ";
        song += "\r\n";
        Write(folder + QString("/band%1.pks").arg(slot), song);
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString controller = FindController(app.arguments());
    const int runs = app.arguments().size() > 2 ? app.arguments()[2].toInt() : 5;
    if (controller.isEmpty() || runs < 1) {
        std::fprintf(stderr, "usage: ControllerExportBench [PKCONTROL_PROGRAM] [RUNS]\n");
        return 2;
    }
    QTemporaryDir folder;
    WriteProject(folder.path());
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
    return 0;
}
