#include "RemoteWire.h"

#include <QDir>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace RemoteWire {

QString SocketFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
        return QDir::cleanPath(runtime) + "/plinkora";
    return QString("/tmp/plinkora-%1").arg(::geteuid());
}

bool IsValidServiceName(const QString& service) {
    return !service.isEmpty() && !service.startsWith('.') && !service.contains('/') &&
           !service.contains(QChar(0));
}

QString SocketPathFor(const QString& service) {
    if (!IsValidServiceName(service))
        return {};
    return SocketFolder() + '/' + service;
}

QString CheckPrivateFolder(const QString& folder) {
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return QString("cannot reach %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
    if (!S_ISDIR(info.st_mode))
        return QString("%1 is not a folder").arg(folder);
    if (info.st_uid != ::geteuid())
        return QString("%1 belongs to another user").arg(folder);
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return QString("%1 is open to other users (mode %2)")
            .arg(folder)
            .arg(info.st_mode & 07777, 4, 8, QChar('0'));
    return {};
}

QString PreparePrivateFolder(const QString& folder) {
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return QString("cannot create %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
    return CheckPrivateFolder(folder);
}

THeader SplitHeader(const QByteArray& line) {
    const qsizetype space = line.indexOf(' ');
    if (space < 0)
        return {line, {}};
    return {line.left(space), line.mid(space + 1)};
}

std::optional<qint64> ParseByteCount(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

TTaken ReadHeader(const QByteArray& input, THeader& header, qsizetype& used) {
    const qsizetype lf = input.indexOf('\n');
    if (lf > MaxHeaderBytes || (lf < 0 && input.size() > MaxHeaderBytes))
        return TTaken::Broken;
    if (lf < 0)
        return TTaken::Nothing;
    QByteArray line = input.left(lf);
    if (line.endsWith('\r'))
        line.chop(1);
    header = SplitHeader(line);
    used = lf + 1;
    return TTaken::Message;
}

TTaken TakeClientMessage(QByteArray& input, TClientMessage& message) {
    THeader header;
    qsizetype used = 0;
    if (const TTaken read = ReadHeader(input, header, used); read != TTaken::Message)
        return read;
    if (header.word == "EXECUTE") {
        if (const auto count = ParseByteCount(header.rest)) {
            if (*count > MaxPayloadBytes)
                return TTaken::Broken;
            if (input.size() - used < *count)
                return TTaken::Nothing;
            message.payload = input.mid(used, *count);
            message.counted = true;
            used += *count;
        }
    }
    input.remove(0, used);
    message.word = std::move(header.word);
    message.rest = std::move(header.rest);
    return TTaken::Message;
}

QByteArray CutUtf8(const QByteArray& bytes, int limit) {
    if (bytes.size() <= limit)
        return bytes;
    int cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return bytes.left(cut);
}

QByteArray ItemValue(const QString& line) {
    return CutUtf8(line.toUtf8(), MaxPayloadBytes - 2) + "\r\n";
}

} // namespace RemoteWire
