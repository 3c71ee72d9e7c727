#pragma once

#include "RemoteWire.h"

#include <QObject>
#include <QString>
#include <deque>
#include <map>
#include <optional>
#include <set>

class QLocalSocket;

// The client end of a command link to a machine. Name the link, connect (which opens the
// topic), subscribe to the status item, and execute macros. Sending is asynchronous; the
// waiting helpers spin a local event loop until the answer, the time limit or the link's end,
// so they also work when the machine runs in the same thread.
//
// The wire cannot tell a REQUEST's reply from a notification: while subscribed, the first
// DATA after a REQUEST is taken as its reply.
class TRemoteClient : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultTimeout = 2000; // milliseconds

    explicit TRemoteClient(QObject* parent = nullptr);
    ~TRemoteClient() override;

    // Names the link without connecting.
    void SetLink(const QString& service, const QString& topic = RemoteWire::TopicName);
    QString Service() const { return service_; }

    // Connects to the named service and opens the topic: true once the machine accepted it.
    bool Connect(int timeoutMs = DefaultTimeout);
    // Tries Connect until it succeeds or totalMs pass: for a machine that is just starting.
    bool ConnectWithin(int totalMs);
    // Closes the link; waiting calls return false. Disconnected() is not emitted for this.
    void Disconnect();
    bool IsConnected() const;
    QString ErrorString() const { return error_; }

    // Sends a macro; false (nothing sent) when not connected. Acknowledged() follows.
    bool Execute(const QString& macro);
    // A command as the machine expects it: the word and the argument, each ending in CR LF.
    bool ExecuteCommand(const QString& word, const QString& argument);
    // Executes and waits for the acknowledgement; no other macro goes out meanwhile.
    bool ExecuteAndWait(const QString& macro, int timeoutMs = DefaultTimeout);

    // Waits until the machine has answered everything sent so far, within the time; true when
    // nothing is left unanswered. A link closed right after a macro would otherwise lose it.
    bool WaitUntilAnswered(int timeoutMs = DefaultTimeout);

    // Subscribes to / unsubscribes from an item; true once the machine said OK.
    bool Advise(const QString& item = RemoteWire::ItemName, int timeoutMs = DefaultTimeout);
    bool Unadvise(const QString& item = RemoteWire::ItemName, int timeoutMs = DefaultTimeout);
    // The item's current value as sent (the line and CR LF); nullopt on failure.
    std::optional<QString> Request(const QString& item = RemoteWire::ItemName,
                                   int timeoutMs = DefaultTimeout);

    static QString CommandText(const QString& word, const QString& argument);
    // A received value as one line: every control character (1 to 31) becomes a space.
    static QString AsOneLine(const QString& value);
    // A received value without its final CR LF.
    static QString StripLineEnd(const QString& value);

signals:
    // A subscribed item was set: the value as sent, the line followed by CR LF.
    void DataReceived(const QString& item, const QString& value);
    void Acknowledged();
    void ErrorReceived(const QString& reason);
    // The machine closed the link or broke the wire.
    void Disconnected();
    // A reply that a waiting call may be looking for arrived (internal use).
    void ReplySettled();

private:
    friend class TRemoteClientProbe; // the fuzz target hands it replies without a socket

    enum class Expect { Nothing, Topic, Ok, Ack, Value };
    struct Pending {
        quint64 id;
        Expect expect;
    };
    struct Result {
        bool ok = false;
        QString value;
    };

    quint64 Send(const QByteArray& header, const QByteArray& payload, Expect expect);
    std::optional<Result> Wait(quint64 id, int timeoutMs);
    void ReadFrames();
    enum class Frame { Incomplete, Taken, Broken };
    Frame TakeFrame();
    void Settle(const QByteArray& word, const QByteArray& rest, const QByteArray& payload);
    void Resolve(bool ok, const QString& value = {});
    void LinkLost(const QString& reason);
    void ResetSocket();

    QString service_;
    QString topic_ = RemoteWire::TopicName;
    QLocalSocket* socket_ = nullptr;
    bool topicOpen_ = false;
    QByteArray input_;
    QString error_;
    quint64 nextId_ = 1;
    std::deque<Pending> pending_;
    std::set<quint64> waited_;
    std::map<quint64, Result> results_;
};
