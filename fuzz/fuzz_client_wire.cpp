// What a machine sends a controller's link, as any bytes arriving in pieces, while the link
// waits for some replies: the link settles them or drops the link, and never gets stuck on a
// frame it cannot use.
#include "FuzzSupport.h"
#include "RemoteClient.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <fuzzer/FuzzedDataProvider.h>

class TRemoteClientProbe {
public:
    static void Run(FuzzedDataProvider& in) {
        TRemoteClient client;
        // Never connected: LinkLost resets it as it would a real link.
        client.socket_ = new QLocalSocket(&client);
        client.topicOpen_ = in.ConsumeBool();
        const int waiting = in.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < waiting; ++i) {
            const auto expect = static_cast<TRemoteClient::Expect>(
                in.ConsumeIntegralInRange(static_cast<int>(TRemoteClient::Expect::Topic),
                                          static_cast<int>(TRemoteClient::Expect::Value)));
            const quint64 id = client.nextId_++;
            client.pending_.push_back({id, expect});
            if (in.ConsumeBool())
                client.waited_.insert(id);
        }
        // As ReadFrames does with each read.
        while (client.socket_ && in.remaining_bytes() > 0) {
            const std::string piece = in.ConsumeRandomLengthString(8192);
            client.input_.append(piece.data(), static_cast<qsizetype>(piece.size()));
            for (;;) {
                const size_t before = client.pending_.size();
                const qsizetype unread = client.input_.size();
                const TRemoteClient::Frame frame = client.TakeFrame();
                if (frame == TRemoteClient::Frame::Broken) {
                    client.LinkLost("the machine broke the wire");
                    break;
                }
                if (frame == TRemoteClient::Frame::Incomplete || !client.socket_)
                    break;
                if (client.input_.size() >= unread)
                    FuzzFailure("a frame was taken without taking any bytes");
                if (client.pending_.size() > before)
                    FuzzFailure("a reply added a waiting request");
            }
        }
        if (!client.socket_ && (!client.pending_.empty() || !client.input_.isEmpty()))
            FuzzFailure("a lost link keeps requests or input");
        if (client.results_.size() > static_cast<size_t>(waiting))
            FuzzFailure("more results than requests");
    }
};

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    TRemoteClientProbe::Run(in);
    return 0;
}
