// pkremote: sends one command to a running machine and prints the status values it reports.

#include "RemoteClient.h"
#include "RemoteWords.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <optional>

namespace {

constexpr int ExitFailed = 1;    // the link broke or the machine did not acknowledge in time
constexpr int ExitNoMachine = 2; // nobody answers under the service name
constexpr int ExitUsage = 64;

struct TOptions {
    QString service, word, argument;
    int waitMs = 300;
    int timeoutMs = 30000;
};

std::optional<int> Milliseconds(const QString& seconds) {
    bool ok = false;
    const double value = seconds.toDouble(&ok);
    if (!ok || value < 0 || value > 86400)
        return std::nullopt;
    return static_cast<int>(value * 1000);
}

std::optional<TOptions> ReadOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Executes WORD CR LF ARGUMENT CR LF on the machine published as SERVICE and prints every\n"
        "status value it sets until the command is acknowledged and a moment after.");
    parser.addHelpOption();
    const QCommandLineOption wait(
        "wait", "Keep printing for SECONDS after the acknowledgement (0.3).", "SECONDS", "0.3");
    const QCommandLineOption timeout(
        "timeout", "Give up when the command is not acknowledged within SECONDS (30).", "SECONDS",
        "30");
    parser.addOption(wait);
    parser.addOption(timeout);
    parser.addPositionalArgument("SERVICE", "The machine's program name, e.g. PK0.");
    parser.addPositionalArgument("WORD",
                                 QString("The command word, e.g. %1.").arg(RemoteWords::PlaySong));
    parser.addPositionalArgument("ARGUMENT", "The command's argument (empty when left out).",
                                 "[ARGUMENT]");
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "pkremote: %s\n", qUtf8Printable(parser.errorText()));
        return std::nullopt;
    }
    if (parser.isSet("help") || parser.isSet("help-all")) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        std::exit(0);
    }
    const QStringList args = parser.positionalArguments();
    const auto waitMs = Milliseconds(parser.value(wait));
    const auto timeoutMs = Milliseconds(parser.value(timeout));
    if (args.size() < 2 || args.size() > 3 || !waitMs || !timeoutMs) {
        std::fputs("usage: pkremote [--wait SECONDS] [--timeout SECONDS] SERVICE WORD [ARGUMENT]\n",
                   stderr);
        return std::nullopt;
    }
    return TOptions{args[0], args[1], args.value(2), *waitMs, *timeoutMs};
}

void PrintValue(const QString& value) {
    const QByteArray line = TRemoteClient::AsOneLine(TRemoteClient::StripLineEnd(value)).toUtf8();
    std::fwrite(line.constData(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Keeps printing notifications for a while, or until the machine closes the link.
void Linger(TRemoteClient& client, int milliseconds) {
    if (!client.IsConnected())
        return;
    QEventLoop loop;
    QObject::connect(&client, &TRemoteClient::Disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

int Fail(const TRemoteClient& client, int code) {
    std::fprintf(stderr, "pkremote: %s\n", qUtf8Printable(client.ErrorString()));
    return code;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto options = ReadOptions(app);
    if (!options)
        return ExitUsage;

    TRemoteClient client;
    client.SetLink(options->service);
    if (!client.Connect())
        return Fail(client, ExitNoMachine);
    QObject::connect(&client, &TRemoteClient::DataReceived,
                     [](const QString&, const QString& value) { PrintValue(value); });
    if (!client.Advise())
        return Fail(client, ExitFailed);
    const QString command = TRemoteClient::CommandText(options->word, options->argument);
    if (!client.ExecuteAndWait(command, options->timeoutMs))
        return Fail(client, ExitFailed);
    Linger(client, options->waitMs);
    return 0;
}
