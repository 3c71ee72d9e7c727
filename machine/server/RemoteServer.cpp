#include "RemoteServer.h"

#include "CommandChannel.h"
#include "RemoteWire.h"
#include "session/MachineTexts.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace RemoteWire;

namespace {

// Replies stay small, but a macro may wait behind other clients' data: read no further ahead.
constexpr qint64 ReadAhead = MaxHeaderBytes + 1 + MaxPayloadBytes;
constexpr int CloseGrace = 1000; // ms a closing connection gets to take its last reply

bool Answers(const QString& path) {
    QLocalSocket probe;
    probe.connectToServer(path);
    const bool answered = probe.waitForConnected(1000);
    probe.abort();
    return answered;
}

// Machines that publish at the same moment take turns: the lock is the kernel's, so the next
// machine goes on the moment the one before it is done (or has ended), without polling. (Its
// file is not ".publishing", which older versions use as a lock file of their own kind.)
class TPublishingTurn {
public:
    explicit TPublishingTurn(const QString& folder)
        : fd_(::open(QFile::encodeName(folder + "/.publish-turn").constData(),
                     O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
            }
        }
    }
    ~TPublishingTurn() {
        if (fd_ >= 0)
            ::close(fd_); // ends the turn
    }
    TPublishingTurn(const TPublishingTurn&) = delete;
    TPublishingTurn& operator=(const TPublishingTurn&) = delete;

    bool Taken() const { return fd_ >= 0; }

private:
    int fd_;
};

} // namespace

QStringList SplitMacroLines(const QString& macro) {
    const QString text = macro.left(macro.indexOf(QChar(0)));
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

struct TRemoteServer::Link {
    QLocalSocket* socket = nullptr;
    QTimer* stallTimer = nullptr;
    QByteArray input;
    bool topic = false;
    bool advising = false;
    bool gone = false; // closed or closing: nothing more is read or sent
};

TRemoteServer::TRemoteServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    connect(server_, &QLocalServer::newConnection, this, &TRemoteServer::Accept);
    ReportFailure = [](const QString& text) {
        std::fprintf(stderr, "remote command failed: %s\n", qUtf8Printable(text));
    };
}

TRemoteServer::~TRemoteServer() {
    Close();
    // The sockets outlive the Links by a moment (they are children of this object).
    for (auto& link : links_) {
        link->socket->disconnect();
        link->stallTimer->disconnect();
    }
}

QString TRemoteServer::ServiceNameForProgram(const QString& programPath) {
    return QFileInfo(programPath).completeBaseName();
}

QString TRemoteServer::SocketPathFor(const QString& service) {
    return RemoteWire::SocketPathFor(service);
}

bool TRemoteServer::Fail(const QString& reason) {
    error_ = reason;
    return false;
}

bool TRemoteServer::Listen(const QString& service) {
    Close();
    error_.clear();
    if (!IsValidServiceName(service))
        return Fail(QString("\"%1\" cannot name a service").arg(service));
    const QString folder = SocketFolder();
    if (const QString problem = PreparePrivateFolder(folder); !problem.isEmpty())
        return Fail(QString("unsafe socket folder: %1").arg(problem));
    const QString path = folder + '/' + service;

    // Two machines starting at once under one name must not both take the socket.
    const TPublishingTurn turn(folder);
    if (!turn.Taken())
        return Fail(QString("cannot take the publishing turn in %1").arg(folder));
    if (Answers(path))
        return Fail(QString("another machine already answers under the name \"%1\"").arg(service));
    QLocalServer::removeServer(path); // a socket left behind by a machine that is gone
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path))
        return Fail(QString("cannot publish \"%1\": %2").arg(service, server_->errorString()));
    service_ = service;
    return true;
}

void TRemoteServer::Close() {
    if (server_->isListening())
        server_->close();
    service_.clear();
    for (auto& link : links_)
        Drop(*link);
}

bool TRemoteServer::IsListening() const {
    return server_->isListening();
}

void TRemoteServer::Bind(TCommandChannel& channel) {
    statusText_ = channel.StatusText();
    connect(&channel, &TCommandChannel::StatusChanged, this, &TRemoteServer::SetStatusText);
    // Queued: the machine may end, and that must not happen inside the server's own handler.
    connect(this, &TRemoteServer::MacroAnswered, &channel, &TCommandChannel::CommandAnswered,
            Qt::QueuedConnection);
}

void TRemoteServer::SetStatusText(const QString& text) {
    statusText_ = text;
    // Index loop: a macro's nested event loop may accept new clients meanwhile.
    for (std::size_t i = 0; i < links_.size(); ++i) {
        Link& link = *links_[i];
        if (link.advising)
            SendValue(link);
    }
}

void TRemoteServer::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection())
        AddLink(socket);
}

TRemoteServer::Link& TRemoteServer::AddLink(QLocalSocket* socket) {
    auto owned = std::make_unique<Link>();
    Link& link = *owned;
    links_.push_back(std::move(owned));
    link.socket = socket;
    socket->setParent(this);
    socket->setReadBufferSize(ReadAhead);
    link.stallTimer = new QTimer(socket);
    link.stallTimer->setSingleShot(true);
    // Every connection is cut (disconnect) before its Link goes, so &link stays valid here.
    connect(link.stallTimer, &QTimer::timeout, socket, [this, &link] { OnStall(link); });
    connect(socket, &QLocalSocket::readyRead, socket, [this, &link] {
        if (!executing_ && !link.gone)
            Process(link);
    });
    connect(socket, &QLocalSocket::disconnected, socket, [this, &link] {
        link.gone = true;
        ScheduleCleanup();
    });
    if (socket->bytesAvailable() > 0)
        Process(link);
    return link;
}

// Handles every complete message the link has; true when at least one was taken.
bool TRemoteServer::Process(Link& link) {
    bool progressed = false;
    while (!link.gone && !executing_) {
        link.input += link.socket->readAll();
        TClientMessage message;
        const TTaken taken = TakeClientMessage(link.input, message);
        if (taken == TTaken::Broken) {
            Drop(link);
            break;
        }
        if (taken == TTaken::Nothing)
            break;
        progressed = true;
        Handle(link, message);
    }
    UpdateStallTimer(link, progressed);
    return progressed;
}

void TRemoteServer::Handle(Link& link, const RemoteWire::TClientMessage& message) {
    if (message.word == "TOPIC") {
        link.topic = message.rest == TopicName;
        if (link.topic) {
            Send(link, "OK\n");
        } else {
            Send(link, "NO\n");
            CloseAfterReply(link);
        }
        return;
    }
    const bool itemCommand =
        message.word == "ADVISE" || message.word == "UNADVISE" || message.word == "REQUEST";
    if (message.word != "EXECUTE" && !itemCommand)
        return Send(link, "ERROR unknown command\n");
    if (message.word == "EXECUTE" && !message.counted)
        return Send(link, "ERROR EXECUTE needs a byte count\n");
    if (!link.topic)
        return Send(link, "ERROR no topic: send TOPIC TestTopic first\n");
    if (itemCommand)
        return HandleItemCommand(link, message);
    RunMacro(link, message.payload);
}

void TRemoteServer::HandleItemCommand(Link& link, const RemoteWire::TClientMessage& message) {
    if (message.rest != ItemName)
        return Send(link, "ERROR unknown item\n");
    if (message.word == "REQUEST")
        return SendValue(link);
    link.advising = message.word == "ADVISE";
    Send(link, "OK\n");
}

void TRemoteServer::RunMacro(Link& link, const QByteArray& macro) {
    const QStringList lines = SplitMacroLines(QString::fromUtf8(macro));
    executing_ = true;
    try {
        if (HandleMacro)
            HandleMacro(lines);
    } catch (const std::exception& error) {
        ReportFailure(QString::fromStdString(FailureText(error)));
    } catch (...) {
        ReportFailure("unknown failure");
    }
    executing_ = false;
    Send(link, "ACK\n");
    emit MacroAnswered();
    // What arrived on other connections while the macro ran waits for the event loop.
    QMetaObject::invokeMethod(this, &TRemoteServer::Resume, Qt::QueuedConnection);
}

void TRemoteServer::Resume() {
    for (std::size_t i = 0; i < links_.size() && !executing_; ++i) {
        Link& link = *links_[i];
        if (!link.gone)
            Process(link);
    }
    ScheduleCleanup();
}

void TRemoteServer::OnStall(Link& link) {
    if (link.gone)
        return;
    if (executing_) { // the machine is busy, not the client
        link.stallTimer->start(stallTimeout_);
        return;
    }
    if (!Process(link) && !link.input.isEmpty())
        Drop(link);
}

// A message must be complete within the stall timeout from when its first bytes were taken.
void TRemoteServer::UpdateStallTimer(Link& link, bool progressed) {
    if (link.gone || link.input.isEmpty())
        link.stallTimer->stop();
    else if (progressed || !link.stallTimer->isActive())
        link.stallTimer->start(stallTimeout_);
}

void TRemoteServer::Send(Link& link, const QByteArray& bytes) {
    if (link.gone)
        return;
    link.socket->write(bytes);
    link.socket->flush();
    if (link.socket->bytesToWrite() > MaxPendingOutput)
        Drop(link); // a client that stopped reading
}

void TRemoteServer::SendValue(Link& link) {
    const QByteArray value = ItemValue(statusText_);
    Send(link,
         QByteArray("DATA ") + ItemName + ' ' + QByteArray::number(value.size()) + '\n' + value);
}

void TRemoteServer::Drop(Link& link) {
    if (link.socket->state() == QLocalSocket::UnconnectedState && link.gone)
        return;
    link.gone = true;
    link.stallTimer->stop();
    link.socket->abort();
    ScheduleCleanup();
}

void TRemoteServer::CloseAfterReply(Link& link) {
    link.gone = true;
    link.stallTimer->stop();
    QLocalSocket* socket = link.socket;
    socket->disconnectFromServer();
    QTimer::singleShot(CloseGrace, socket, [socket] { socket->abort(); });
    ScheduleCleanup();
}

void TRemoteServer::ScheduleCleanup() {
    if (cleanupQueued_)
        return;
    cleanupQueued_ = true;
    QMetaObject::invokeMethod(this, &TRemoteServer::RemoveGoneLinks, Qt::QueuedConnection);
}

// Links go only from the event loop and never while a macro runs, so no handler still holds one.
void TRemoteServer::RemoveGoneLinks() {
    cleanupQueued_ = false;
    if (executing_)
        return; // Resume schedules the cleanup again
    std::erase_if(links_, [](const std::unique_ptr<Link>& link) {
        if (!link->gone || link->socket->state() != QLocalSocket::UnconnectedState)
            return false;
        link->socket->disconnect();
        link->stallTimer->disconnect();
        link->socket->deleteLater();
        return true;
    });
}
