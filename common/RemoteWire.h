#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What both ends of the command link agree on: names, limits, where the socket lives, and how
// headers look. A message is a header line ending in LF, followed by exactly the number of
// payload bytes the header names. Texts travel as UTF-8.
namespace RemoteWire {

inline constexpr char TopicName[] = "TestTopic";
inline constexpr char ItemName[] = "TestItem";

inline constexpr int MaxHeaderBytes = 1024;       // without the LF
inline constexpr int MaxPayloadBytes = 64 * 1024; // EXECUTE macros and DATA values

// The socket folder: $XDG_RUNTIME_DIR/plinkora when that names an absolute folder, else
// /tmp/plinkora-<uid>.
QString SocketFolder();

// A service name is one visible file name: not empty, no '/', no NUL, no leading '.' (the
// folder's own files are hidden ones).
bool IsValidServiceName(const QString& service);

// The socket of a service inside SocketFolder(); empty for an invalid service name.
QString SocketPathFor(const QString& service);

// Checks that the folder is a real folder (not a link) owned by this user with no group or
// other access. Returns an empty text when it is, else the reason.
QString CheckPrivateFolder(const QString& folder);

// Creates the folder with mode 0700 when it is missing, then checks it as above.
QString PreparePrivateFolder(const QString& folder);

// One header line split into its word and the rest ("EXECUTE 12" gives "EXECUTE" and "12").
struct THeader {
    QByteArray word;
    QByteArray rest;
};
THeader SplitHeader(const QByteArray& line);

// A byte count as a header carries it: 1 to 12 decimal digits, nothing else; nullopt otherwise.
// The caller checks it against its limit.
std::optional<qint64> ParseByteCount(const QByteArray& text);

// A message a client sent: the header's word and rest and, for an EXECUTE with a valid byte
// count, the payload.
struct TClientMessage {
    QByteArray word;
    QByteArray rest;
    QByteArray payload;
    bool counted = false; // an EXECUTE with a valid byte count
};

enum class TTaken { Nothing, Message, Broken };

// Reads the header line at the front of `input` (it ends in LF; a CR before it is dropped);
// `used` is its length with the line end. Nothing while the line is incomplete, Broken when it
// is over MaxHeaderBytes.
TTaken ReadHeader(const QByteArray& input, THeader& header, qsizetype& used);

// Takes the first complete message off the front of `input` (what a client has sent so far).
// Nothing while the message is incomplete;
// Broken for a header over MaxHeaderBytes or an EXECUTE payload over MaxPayloadBytes.
TTaken TakeClientMessage(QByteArray& input, TClientMessage& message);

// Text cut to at most `limit` UTF-8 bytes without splitting a character.
QByteArray CutUtf8(const QByteArray& bytes, int limit);

// The status item's value on the wire: the line followed by CR LF, within MaxPayloadBytes.
QByteArray ItemValue(const QString& line);

} // namespace RemoteWire
