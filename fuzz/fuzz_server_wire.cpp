// What a client sends the machine's command server, as any bytes arriving in pieces: the
// server takes the same messages whatever the pieces, within the wire's limits, and splits
// every macro into lines without line ends.
#include "FuzzSupport.h"
#include "RemoteWire.h"
#include "server/RemoteServer.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

using namespace RemoteWire;

namespace {

struct TTaking {
    std::vector<TClientMessage> messages;
    bool broken = false;
};

// Takes every complete message after each piece, as the server does on each read.
void Take(TTaking& taking, QByteArray& input) {
    while (!taking.broken) {
        TClientMessage message;
        const TTaken taken = TakeClientMessage(input, message);
        if (taken == TTaken::Nothing)
            return;
        if (taken == TTaken::Broken) {
            taking.broken = true;
            return;
        }
        if (message.word.contains('\n') || message.word.contains(' ') ||
            message.rest.contains('\n') ||
            message.word.size() + message.rest.size() > MaxHeaderBytes)
            FuzzFailure("a header holds a line end or is over the limit");
        if (message.counted != (message.word == "EXECUTE" && ParseByteCount(message.rest)) ||
            (message.counted && message.payload.size() != *ParseByteCount(message.rest)))
            FuzzFailure("the payload is not the counted bytes");
        taking.messages.push_back(std::move(message));
    }
}

bool Same(const TClientMessage& a, const TClientMessage& b) {
    return a.word == b.word && a.rest == b.rest && a.payload == b.payload && a.counted == b.counted;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t piece = in.ConsumeIntegralInRange<size_t>(1, 4096);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    TTaking whole;
    QByteArray all(bytes.data(), static_cast<qsizetype>(bytes.size()));
    Take(whole, all);

    TTaking pieces;
    QByteArray input;
    for (size_t at = 0; at < bytes.size() && !pieces.broken; at += piece) {
        input.append(bytes.data() + at, static_cast<qsizetype>(std::min(piece, bytes.size() - at)));
        Take(pieces, input);
    }
    // A piecewise reader may still wait for a header that the whole text shows is too long.
    if (pieces.messages.size() != whole.messages.size() && !whole.broken)
        FuzzFailure("the pieces give other messages than the whole");
    for (size_t i = 0; i < std::min(pieces.messages.size(), whole.messages.size()); ++i)
        if (!Same(pieces.messages[i], whole.messages[i]))
            FuzzFailure("the pieces give another message than the whole");

    for (const TClientMessage& message : whole.messages) {
        if (!message.counted)
            continue;
        for (const QString& line : SplitMacroLines(QString::fromUtf8(message.payload)))
            if (line.contains('\r') || line.contains('\n') || line.contains(QChar(0)))
                FuzzFailure("a macro line holds a line end or NUL");
    }
    return 0;
}
