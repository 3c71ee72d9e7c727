// Round trips over the command link: starts a machine program of its own, sends
// "DOYOUNEEDSAVE" and waits for the status value it sets, 10,000 times, and prints the median,
// the 99th percentile and the total time.
//
//   RemoteRoundTripBench [PLINKORA_PROGRAM]
//
// Without an argument the machine program is looked for beside this program and one folder up.

#include "BenchProgram.h"
#include "RemoteClient.h"
#include "RemoteWords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Warmup = 500;
constexpr int RoundTrips = 10000;
constexpr char Service[] = "PKBench";

// The program copied into `folder` under the service name, started offscreen with its MIDI
// going to a message log and its socket inside `folder`.
bool StartMachine(QProcess& machine, const QString& program, const QString& folder) {
    const QString copy = folder + "/" + Service;
    if (!QFile::copy(program, copy)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(program));
        return false;
    }
    qputenv("XDG_RUNTIME_DIR", folder.toLocal8Bit());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("PLINKORA_MIDI_LOG", folder + "/midi.log");
    machine.setProcessEnvironment(environment);
    machine.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    machine.start(copy, {});
    if (!machine.waitForStarted(10000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(copy));
        return false;
    }
    return true;
}

// Sends commands and notes when each one's status value arrives.
class TRoundTrips {
public:
    explicit TRoundTrips(TRemoteClient& client) : client_(client) {
        QObject::connect(&client, &TRemoteClient::DataReceived,
                         [this](const QString&, const QString& value) {
                             if (waiting_) {
                                 received_ = Clock::now();
                                 waiting_ = false;
                             }
                             LastReply = TRemoteClient::StripLineEnd(value);
                         });
    }

    // Microseconds from sending the command to its status value; negative when none came.
    double Once(const QString& command) {
        waiting_ = true;
        const Clock::time_point sent = Clock::now();
        const bool acknowledged = client_.ExecuteAndWait(command, 5000);
        const bool answered = !waiting_;
        waiting_ = false;
        if (!acknowledged || !answered)
            return -1;
        return std::chrono::duration<double, std::micro>(received_ - sent).count();
    }

    QString LastReply;

private:
    TRemoteClient& client_;
    bool waiting_ = false;
    Clock::time_point received_;
};

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

void EndMachine(TRemoteClient& client, QProcess& machine) {
    client.ExecuteAndWait(TRemoteClient::CommandText(RemoteWords::Exit, {}), 2000);
    if (!machine.waitForFinished(5000)) {
        machine.kill();
        machine.waitForFinished(2000);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QString program = FindProgram(application.arguments(), "Plinkora");
    if (program.isEmpty()) {
        std::fputs("usage: RemoteRoundTripBench [PLINKORA_PROGRAM]\n", stderr);
        return 64;
    }
    QTemporaryDir folder;
    QProcess machine;
    if (!folder.isValid() || !StartMachine(machine, program, folder.path()))
        return 1;

    TRemoteClient client;
    client.SetLink(Service);
    TRoundTrips trips(client);
    if (!client.ConnectWithin(20000) || !client.Advise()) {
        std::fprintf(stderr, "no link: %s\n", qPrintable(client.ErrorString()));
        machine.kill();
        machine.waitForFinished(2000);
        return 1;
    }

    const QString command = TRemoteClient::CommandText(RemoteWords::DoYouNeedSave, {});
    for (int i = 0; i < Warmup; ++i)
        trips.Once(command);
    std::vector<double> times;
    times.reserve(RoundTrips);
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < RoundTrips; ++i) {
        const double us = trips.Once(command);
        if (us < 0) {
            std::fprintf(stderr, "round trip %d got no status value: %s\n", i,
                         qPrintable(client.ErrorString()));
            EndMachine(client, machine);
            return 1;
        }
        times.push_back(us);
    }
    const double totalSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    EndMachine(client, machine);

    std::printf("command link round trips: %d x DOYOUNEEDSAVE -> %s\n", RoundTrips,
                qPrintable(trips.LastReply));
    std::printf("  median           %8.1f us\n", Percentile(times, 0.5));
    std::printf("  99th percentile  %8.1f us\n", Percentile(times, 0.99));
    std::printf("  total            %8.3f s (%.0f round trips per second)\n", totalSeconds,
                RoundTrips / totalSeconds);
    return 0;
}
