#include "RemoteLink.h"

#include "RemoteWire.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QTimer>
#include <cerrno>
#include <csignal>

namespace {

constexpr int RetryMs = 20;

} // namespace

TRemoteLink::TRemoteLink(QString workingDirectory, QObject* parent)
    : QObject(parent), workingDirectory_(std::move(workingDirectory)) {
    connect(&client_, &TRemoteClient::DataReceived, this, &TRemoteLink::Deliver);
    // Handed over from the event loop, as the status values are: the handler closes this link.
    connect(
        &client_, &TRemoteClient::Disconnected, this,
        [this] {
            if (Dropped)
                Dropped();
        },
        Qt::QueuedConnection);
}

void TRemoteLink::SetStartCommand(const QString& commandLine) {
    startCommand_ = commandLine;
}

void TRemoteLink::SetStartLanguage(TLanguage language) {
    startLanguage_ = language;
}

void TRemoteLink::SetStartSync(const TStartSync& sync) {
    startSync_ = sync;
}

void TRemoteLink::SetLink(const QString& service, const QString& topic) {
    client_.SetLink(service, topic);
}

void TRemoteLink::Subscribe(const QString& item) {
    item_ = item;
}

bool TRemoteLink::Open() {
    bool open = client_.Connect(ConnectWaitMs);
    if (!open && !startCommand_.isEmpty()) {
        const bool startedAhead = launchedAhead_ && !ProcessEnded(launchedPid_);
        if (startedAhead || StartProcess())
            open = WaitUntilAnswering();
    }
    launchedAhead_ = false;
    if (open)
        AdviseItem();
    return open;
}

// A socket file left by a machine that died refuses the connection at once.
bool TRemoteLink::OpenIfAnswering() {
    if (!client_.Connect(ConnectWaitMs))
        return false;
    AdviseItem();
    return true;
}

void TRemoteLink::AdviseItem() {
    if (!item_.isEmpty())
        client_.Advise(item_);
}

bool TRemoteLink::Launch() {
    launchedAhead_ = StartProcess();
    return launchedAhead_;
}

// "PK0 default1.pks": the program file in the working directory and its argument, then the
// language and the synchronisation (not first: a first argument starting with "--" runs the
// machine without windows, which is wanted only with "--serve").
bool TRemoteLink::StartProcess() {
    if (startCommand_.isEmpty())
        return false;
    const qsizetype space = startCommand_.indexOf(' ');
    const QString program = workingDirectory_ + startCommand_.left(space);
    QStringList arguments = withoutWindows_ ? QStringList{"--serve"} : QStringList();
    if (space >= 0)
        arguments << startCommand_.mid(space + 1);
    arguments << "--language" << QString::fromUtf8(LanguageCode(startLanguage_))
              << StartSyncArguments(startSync_);
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDirectory_);
    if (!outputFile_.isEmpty()) {
        process.setStandardOutputFile(outputFile_, QIODevice::Append);
        process.setStandardErrorFile(outputFile_, QIODevice::Append);
    }
    launchedPid_ = 0;
    return process.startDetached(&launchedPid_);
}

// The one further connect after a start waits until the new machine publishes its service,
// or gives up when the machine has ended or the time is over. It tries again the moment the
// socket folder changes (the service's socket appears there), else every RetryMs: the folder may
// not exist yet.
bool TRemoteLink::WaitUntilAnswering() {
    QFileSystemWatcher folder;
    folder.addPath(RemoteWire::SocketFolder());
    const QDeadlineTimer deadline(StartWaitMs);
    while (!deadline.hasExpired()) {
        if (client_.Connect(ConnectWaitMs))
            return true;
        if (ProcessEnded(launchedPid_))
            return false;
        QEventLoop loop;
        QTimer::singleShot(RetryMs, &loop, &QEventLoop::quit);
        connect(&folder, &QFileSystemWatcher::directoryChanged, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return false;
}

bool TRemoteLink::Execute(const QString& macro) {
    return client_.Execute(macro);
}

// The status values the machine set while handling the macro reach the controller before this
// returns: they travelled ahead of the acknowledgement.
bool TRemoteLink::ExecuteAndBlock(const QString& macro) {
    const bool handled = client_.ExecuteAndWait(macro, BlockWaitMs);
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return handled;
}

// The macros already sent reach the machine before the link goes ("EXIT" and then close).
void TRemoteLink::Close() {
    client_.WaitUntilAnswered(BlockWaitMs);
    client_.Disconnect();
}

// Handed over from the event loop, not from inside the socket's read: the handler may close
// this very link.
void TRemoteLink::Deliver(const QString& item, const QString& value) {
    if (item != item_)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, text = TRemoteClient::AsOneLine(value)] {
            if (StatusChanged)
                StatusChanged(text);
        },
        Qt::QueuedConnection);
}

bool TRemoteLink::ProcessEnded(qint64 pid) {
    if (pid <= 0)
        return true;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return true;
    // A detached process is reaped by whoever adopted it; where nobody does, it stays a zombie.
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && text.mid(close + 2, 1) == "Z";
}
