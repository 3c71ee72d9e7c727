#pragma once

#include "TempDir.h"

#include <QLocalSocket>
#include <QTest>
#include <optional>

// Points XDG_RUNTIME_DIR into a temporary folder for one test, so no real user's sockets are
// touched; restores it afterwards.
class RuntimeDir {
public:
    RuntimeDir()
        : had_(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")), old_(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", dir_.Path().c_str());
    }
    ~RuntimeDir() {
        if (had_)
            qputenv("XDG_RUNTIME_DIR", old_);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }
    RuntimeDir(const RuntimeDir&) = delete;
    RuntimeDir& operator=(const RuntimeDir&) = delete;

    QString Path() const { return QString::fromStdString(dir_.Path().string()); }
    QString Folder() const { return Path() + "/plinkora"; }

private:
    TempDir dir_;
    bool had_;
    QByteArray old_;
};

// A client that speaks the wire byte by byte. Waiting spins the event loop, so a server in the
// same thread gets to answer.
class RawClient {
public:
    struct Frame {
        QByteArray header;
        QByteArray payload;
    };

    explicit RawClient(const QString& path) {
        socket.connectToServer(path);
        socket.waitForConnected(1000);
    }

    bool Connected() const { return socket.state() == QLocalSocket::ConnectedState; }

    void Send(const QByteArray& bytes) {
        if (!socket.isOpen())
            return;
        socket.write(bytes);
        socket.flush();
    }

    // The next complete reply, or nothing within the time.
    std::optional<Frame> Next(int timeoutMs = 3000) {
        std::optional<Frame> frame;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                if (socket.isOpen())
                    buffer += socket.readAll();
                frame = Take();
                return frame.has_value() || !socket.isOpen();
            },
            timeoutMs));
        return frame;
    }

    QByteArray NextHeader(int timeoutMs = 3000) {
        const auto frame = Next(timeoutMs);
        return frame ? frame->header : QByteArray("<nothing>");
    }

    bool WaitClosed(int timeoutMs = 3000) {
        return QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; },
                               timeoutMs);
    }

    // True when no reply arrives within the time.
    bool Quiet(int ms = 150) {
        QTest::qWait(ms);
        if (socket.isOpen())
            buffer += socket.readAll();
        return buffer.isEmpty();
    }

    QLocalSocket socket;
    QByteArray buffer;

private:
    std::optional<Frame> Take() {
        const qsizetype lf = buffer.indexOf('\n');
        if (lf < 0)
            return std::nullopt;
        Frame frame{buffer.left(lf), {}};
        qsizetype size = 0;
        if (frame.header.startsWith("DATA "))
            size = frame.header.mid(frame.header.lastIndexOf(' ') + 1).toLongLong();
        if (buffer.size() < lf + 1 + size)
            return std::nullopt;
        frame.payload = buffer.mid(lf + 1, size);
        buffer.remove(0, lf + 1 + size);
        return frame;
    }
};

inline QByteArray ExecuteMessage(const QByteArray& macro) {
    return "EXECUTE " + QByteArray::number(macro.size()) + "\n" + macro;
}
