// Rendering to a sound file: the speed (seconds of music per second of rendering) of one song
// rendered in this process, soundfont loading included, and of a four-machine project through
// `PKControl --render` (machines started, songs loaded, MIDI exported and joined, rendered).
//
//   AudioRenderBench [PKCONTROL_PROGRAM] [RUNS]
//
// Without a program the controller is looked for beside this program and one folder up.

#include "BenchProject.h"
#include "session/MachineSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void Report(const char* what, const std::vector<double>& speeds, double music) {
    std::printf("%s: %.1f s of music, median %.0fx real time (best %.0fx, worst %.0fx)\n", what,
                music, Median(speeds), *std::max_element(speeds.begin(), speeds.end()),
                *std::min_element(speeds.begin(), speeds.end()));
}

// One song in this process: the session's render, soundfont loading included.
bool BenchSong(const QString& folder, int runs) {
    const std::string song = QFile::encodeName(folder + "/song.pks").toStdString();
    WriteBenchFile(folder + "/song.pks", BandSong(1));
    TMachineSession session;
    if (!session.Load(song).Loaded)
        return false;
    std::vector<double> speeds;
    double music = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const TRenderResult result =
            session.RenderAudio(QFile::encodeName(folder + "/song.wav").toStdString());
        if (result.State != TRenderResult::TState::Written) {
            std::fprintf(stderr, "the song render failed: %s\n",
                         MessageText(result.Fault, TLanguage::English).c_str());
            return false;
        }
        music = result.Seconds;
        speeds.push_back(music / (clock.nsecsElapsed() / 1e9));
    }
    Report("one song (in process)", speeds, music);
    return true;
}

// The four-machine project through the controller's command line.
bool BenchProject(const QString& controller, const QString& folder, int runs) {
    WriteBandProject(folder);
    std::vector<double> speeds;
    double music = 0;
    for (int run = 0; run < runs; ++run) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        process.start(controller, {"--render", folder + "/band.pkp", folder + "/band.wav"});
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            std::fprintf(stderr, "the project render failed\n");
            return false;
        }
        const double seconds = clock.nsecsElapsed() / 1e9;
        const QRegularExpressionMatch told =
            QRegularExpression(R"(\(([\d.]+) s\))")
                .match(QString::fromLocal8Bit(process.readAllStandardOutput()));
        music = told.captured(1).toDouble();
        speeds.push_back(music / seconds);
    }
    Report("four-machine project (PKControl --render, machines started)", speeds, music);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString controller = FindProgram(app.arguments(), "PKControl");
    const int runs = RunsWanted(app.arguments());
    if (controller.isEmpty() || runs < 1) {
        std::fprintf(stderr, "usage: AudioRenderBench [PKCONTROL_PROGRAM] [RUNS]\n");
        return 2;
    }
    QTemporaryDir folder;
    std::printf("render to WAV, 44,100 Hz, 16 bit, stereo; %d runs each\n", runs);
    return BenchSong(folder.path(), runs) && BenchProject(controller, folder.path(), runs) ? 0 : 1;
}
