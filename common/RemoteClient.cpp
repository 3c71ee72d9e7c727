#include "RemoteClient.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QTimer>

using namespace RemoteWire;

TRemoteClient::TRemoteClient(QObject* parent) : QObject(parent) {}

TRemoteClient::~TRemoteClient() {
    ResetSocket();
}

void TRemoteClient::SetLink(const QString& service, const QString& topic) {
    service_ = service;
    topic_ = topic;
}

bool TRemoteClient::Connect(int timeoutMs) {
    Disconnect();
    error_.clear();
    const QString path = SocketPathFor(service_);
    if (path.isEmpty()) {
        error_ = QString("\"%1\" cannot name a service").arg(service_);
        return false;
    }
    if (const QString problem = CheckPrivateFolder(SocketFolder()); !problem.isEmpty()) {
        error_ = QString("no machine answers under \"%1\" (%2)").arg(service_, problem);
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    socket_ = new QLocalSocket(this);
    connect(socket_, &QLocalSocket::readyRead, this, &TRemoteClient::ReadFrames);
    connect(socket_, &QLocalSocket::disconnected, this,
            [this] { LinkLost("the machine closed the link"); });
    socket_->connectToServer(path);
    if (!socket_->waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        error_ = QString("no machine answers under \"%1\"").arg(service_);
        ResetSocket();
        return false;
    }
    const quint64 id = Send("TOPIC " + topic_.toUtf8(), {}, Expect::Topic);
    const auto answer = Wait(id, static_cast<int>(deadline.remainingTime()));
    if (!answer || !answer->ok) {
        if (answer)
            error_ = QString("the machine \"%1\" refused the topic \"%2\"").arg(service_, topic_);
        else if (error_.isEmpty())
            error_ = QString("the machine \"%1\" did not answer").arg(service_);
        ResetSocket();
        return false;
    }
    topicOpen_ = true;
    return true;
}

bool TRemoteClient::ConnectWithin(int totalMs) {
    QDeadlineTimer deadline(totalMs);
    for (;;) {
        const int left = static_cast<int>(deadline.remainingTime());
        if (Connect(qMax(left, 1)))
            return true;
        if (deadline.hasExpired())
            return false;
        // Spin rather than sleep: the window stays alive while a machine starts.
        QEventLoop pause;
        QTimer::singleShot(qMin<qint64>(50, deadline.remainingTime()), &pause, &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void TRemoteClient::Disconnect() {
    ResetSocket();
}

bool TRemoteClient::IsConnected() const {
    return socket_ && topicOpen_ && socket_->state() == QLocalSocket::ConnectedState;
}

bool TRemoteClient::Execute(const QString& macro) {
    if (!IsConnected())
        return false;
    const QByteArray bytes = macro.toUtf8();
    Send("EXECUTE " + QByteArray::number(bytes.size()), bytes, Expect::Ack);
    return true;
}

bool TRemoteClient::ExecuteCommand(const QString& word, const QString& argument) {
    return Execute(CommandText(word, argument));
}

bool TRemoteClient::ExecuteAndWait(const QString& macro, int timeoutMs) {
    if (!IsConnected())
        return false;
    const QByteArray bytes = macro.toUtf8();
    const quint64 id = Send("EXECUTE " + QByteArray::number(bytes.size()), bytes, Expect::Ack);
    const auto answer = Wait(id, timeoutMs);
    return answer && answer->ok;
}

bool TRemoteClient::WaitUntilAnswered(int timeoutMs) {
    QDeadlineTimer deadline(qMax(timeoutMs, 0));
    while (socket_ && !pending_.empty() && !deadline.hasExpired()) {
        QEventLoop loop;
        connect(this, &TRemoteClient::ReplySettled, &loop, &QEventLoop::quit);
        QTimer::singleShot(static_cast<int>(deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return pending_.empty();
}

bool TRemoteClient::Advise(const QString& item, int timeoutMs) {
    if (!IsConnected())
        return false;
    const auto answer = Wait(Send("ADVISE " + item.toUtf8(), {}, Expect::Ok), timeoutMs);
    return answer && answer->ok;
}

bool TRemoteClient::Unadvise(const QString& item, int timeoutMs) {
    if (!IsConnected())
        return false;
    const auto answer = Wait(Send("UNADVISE " + item.toUtf8(), {}, Expect::Ok), timeoutMs);
    return answer && answer->ok;
}

std::optional<QString> TRemoteClient::Request(const QString& item, int timeoutMs) {
    if (!IsConnected())
        return std::nullopt;
    const auto answer = Wait(Send("REQUEST " + item.toUtf8(), {}, Expect::Value), timeoutMs);
    if (!answer || !answer->ok)
        return std::nullopt;
    return answer->value;
}

QString TRemoteClient::CommandText(const QString& word, const QString& argument) {
    return word + "\r\n" + argument + "\r\n";
}

QString TRemoteClient::AsOneLine(const QString& value) {
    QString line = value;
    for (QChar& c : line)
        if (c.unicode() >= 1 && c.unicode() <= 31)
            c = ' ';
    return line;
}

QString TRemoteClient::StripLineEnd(const QString& value) {
    return value.endsWith("\r\n") ? value.chopped(2) : value;
}

quint64 TRemoteClient::Send(const QByteArray& header, const QByteArray& payload, Expect expect) {
    const quint64 id = nextId_++;
    pending_.push_back({id, expect});
    socket_->write(header + '\n' + payload);
    socket_->flush();
    return id;
}

std::optional<TRemoteClient::Result> TRemoteClient::Wait(quint64 id, int timeoutMs) {
    waited_.insert(id);
    QDeadlineTimer deadline(qMax(timeoutMs, 0));
    while (!results_.contains(id) && socket_ && !deadline.hasExpired()) {
        QEventLoop loop;
        connect(this, &TRemoteClient::ReplySettled, &loop, &QEventLoop::quit);
        QTimer::singleShot(static_cast<int>(deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents); // no second command starts meanwhile
    }
    waited_.erase(id);
    const auto found = results_.find(id);
    if (found == results_.end()) {
        if (socket_ && error_.isEmpty())
            error_ = QString("the machine \"%1\" did not answer in time").arg(service_);
        return std::nullopt;
    }
    Result result = std::move(found->second);
    results_.erase(found);
    return result;
}

void TRemoteClient::ReadFrames() {
    while (socket_) {
        input_ += socket_->readAll();
        const Frame frame = TakeFrame();
        if (frame == Frame::Broken) {
            LinkLost("the machine broke the wire");
            return;
        }
        if (frame == Frame::Incomplete)
            return;
    }
}

TRemoteClient::Frame TRemoteClient::TakeFrame() {
    THeader header;
    qsizetype used = 0;
    switch (ReadHeader(input_, header, used)) {
    case TTaken::Broken:
        return Frame::Broken;
    case TTaken::Nothing:
        return Frame::Incomplete;
    case TTaken::Message:
        break;
    }
    QByteArray payload;
    if (header.word == "DATA") {
        const qsizetype space = header.rest.lastIndexOf(' ');
        const auto count = ParseByteCount(header.rest.mid(space + 1));
        if (space < 0 || !count || *count > MaxPayloadBytes)
            return Frame::Broken;
        if (input_.size() - used < *count)
            return Frame::Incomplete;
        payload = input_.mid(used, *count);
        used += *count;
        header.rest.truncate(space);
    }
    input_.remove(0, used);
    Settle(header.word, header.rest, payload);
    return Frame::Taken;
}

void TRemoteClient::Settle(const QByteArray& word, const QByteArray& rest,
                           const QByteArray& payload) {
    const Expect head = pending_.empty() ? Expect::Nothing : pending_.front().expect;
    if (word == "DATA") {
        if (head == Expect::Value)
            return Resolve(true, QString::fromUtf8(payload));
        emit DataReceived(QString::fromUtf8(rest), QString::fromUtf8(payload));
    } else if (word == "OK" && (head == Expect::Topic || head == Expect::Ok)) {
        Resolve(true);
    } else if (word == "NO" && head == Expect::Topic) {
        Resolve(false);
    } else if (word == "ACK" && head == Expect::Ack) {
        Resolve(true);
        emit Acknowledged();
    } else if (word == "ERROR" && head != Expect::Nothing) {
        error_ = QString("the machine answered: %1").arg(QString::fromUtf8(rest));
        Resolve(false);
        emit ErrorReceived(QString::fromUtf8(rest));
    } else {
        LinkLost(QString("unexpected reply \"%1\"").arg(QString::fromUtf8(word)));
    }
}

void TRemoteClient::Resolve(bool ok, const QString& value) {
    const quint64 id = pending_.front().id;
    pending_.pop_front();
    if (waited_.contains(id))
        results_[id] = {ok, value};
    emit ReplySettled();
}

void TRemoteClient::LinkLost(const QString& reason) {
    if (!socket_)
        return;
    const bool wasOpen = topicOpen_;
    if (error_.isEmpty() || wasOpen)
        error_ = reason;
    ResetSocket();
    emit ReplySettled();
    if (wasOpen)
        emit Disconnected();
}

void TRemoteClient::ResetSocket() {
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    topicOpen_ = false;
    input_.clear();
    pending_.clear();
}
