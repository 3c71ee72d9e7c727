#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QLocalServer;
class QLocalSocket;
class QTimer;
class TCommandChannel;
namespace RemoteWire {
struct TClientMessage;
}

// The lines of a macro as the command handler reads them: the text ends at its first NUL (a
// macro is zero-terminated), lines end at CR LF, a lone CR or a lone LF, a final line end
// closes the last line, and a text without any line end is one line. An empty text has none.
QStringList SplitMacroLines(const QString& macro);

// The machine's command server: publishes the service on a local socket and speaks the command
// wire with every client that connects.
//
// Per connection, headers end in LF (a CR before it is dropped):
//   TOPIC TestTopic          -> OK; any other topic -> NO and the connection closes
//   EXECUTE <n> + n bytes    -> HandleMacro(lines) on this object's thread, then ACK
//   ADVISE TestItem          -> OK, then DATA TestItem <n> + value at every SetStatusText
//   UNADVISE TestItem        -> OK
//   REQUEST TestItem         -> DATA TestItem <n> + value
//   anything else            -> ERROR <reason>; the connection stays usable
// A conversation is about one topic, so EXECUTE, ADVISE, UNADVISE and REQUEST before an
// accepted TOPIC answer ERROR (an EXECUTE's payload is still read and dropped). The item value
// is the status line followed by CR LF.
//
// A header over 1 KiB, a payload over 64 KiB, a message left incomplete for the stall timeout
// or a client that lets more than 1 MiB of replies pile up closes that connection only.
// Macros run one at a time: while one runs (even if it opens a dialog), nothing more is read.
class TRemoteServer : public QObject {
    Q_OBJECT
public:
    using MacroHandler = std::function<void(const QStringList& lines)>;

    static constexpr int DefaultStallTimeout = 5000; // milliseconds
    static constexpr qint64 MaxPendingOutput = 1 << 20;

    explicit TRemoteServer(QObject* parent = nullptr);
    ~TRemoteServer() override;

    // The program file's name without folder and extension: "/opt/pk/PK2" gives "PK2".
    static QString ServiceNameForProgram(const QString& programPath);
    // Where the socket of a service lives (see RemoteWire::SocketPathFor).
    static QString SocketPathFor(const QString& service);

    // Publishes the service. Refuses (false, ErrorString) when the name is no file name, the
    // socket folder is not private to this user, or another server already answers under the
    // name; a socket left behind by a server that is gone is replaced.
    bool Listen(const QString& service);
    // Stops publishing and closes every connection.
    void Close();
    bool IsListening() const;
    QString ServiceName() const { return service_; }
    QString ErrorString() const { return error_; }

    MacroHandler HandleMacro;
    // Told when HandleMacro throws; the macro is acknowledged all the same. Default: stderr.
    std::function<void(const QString&)> ReportFailure;

    // How long a client may leave a message incomplete before its connection is closed.
    void SetStallTimeout(int milliseconds) { stallTimeout_ = milliseconds; }
    int StallTimeout() const { return stallTimeout_; }

    QString StatusText() const { return statusText_; }
    // Sets the status item and notifies every advising client, even when the text is the same.
    void SetStatusText(const QString& text);
    // Follows the channel's status item: every setting there is a setting here. Tells the
    // channel when a command has been acknowledged, so a shutdown it asked for need not wait
    // longer.
    void Bind(TCommandChannel& channel);

    // Open connections, including those whose closing is under way.
    int ClientCount() const { return static_cast<int>(links_.size()); }

signals:
    void MacroAnswered(); // a macro has run and its acknowledgement has been sent

private:
    struct Link;

    void Accept();
    Link& AddLink(QLocalSocket* socket);
    bool Process(Link& link);
    void Handle(Link& link, const RemoteWire::TClientMessage& message);
    void HandleItemCommand(Link& link, const RemoteWire::TClientMessage& message);
    void RunMacro(Link& link, const QByteArray& macro);
    void OnStall(Link& link);
    void UpdateStallTimer(Link& link, bool progressed);
    void Send(Link& link, const QByteArray& bytes);
    void SendValue(Link& link);
    void Drop(Link& link);
    void CloseAfterReply(Link& link);
    void ScheduleCleanup();
    void RemoveGoneLinks();
    void Resume();
    bool Fail(const QString& reason);

    QLocalServer* server_;
    std::vector<std::unique_ptr<Link>> links_;
    QString service_;
    QString error_;
    QString statusText_;
    int stallTimeout_ = DefaultStallTimeout;
    bool executing_ = false;
    bool cleanupQueued_ = false;
};
