#pragma once

#include "midi/BeatGrid.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// The machine's peer in the Ableton Link session of the local network: it joins as it is made
// and leaves as it goes. The grid it publishes (TBeatGrid) is the session's, looked at every
// KeepInterval by a keeper thread of its own; the playback tick reads it without ever calling
// Link. Peers() comes from Link's own thread. Everything else runs on the user-interface thread:
// the machine's own tempo, start and stop go out to the session from there.
//
// Without any network the peer is a session of its own; a network that comes and goes changes
// only the number of peers.
class TLinkPeer final : public TBeatGrid {
public:
    static constexpr int64_t KeepIntervalNs = 2000000;

    // Joins with `bpm` as the tempo a session of its own starts with (a session it joins keeps
    // its tempo), `quantum` beats to the bar, starts and stops shared or not.
    TLinkPeer(double bpm, double quantum, bool startStopSync);
    ~TLinkPeer() override;
    TLinkPeer(const TLinkPeer&) = delete;
    TLinkPeer& operator=(const TLinkPeer&) = delete;

    // The other peers of the session.
    int32_t Peers() const noexcept { return peers_.load(std::memory_order_relaxed); }
    // The changes the peer has made to the session; a look whose Commits is lower was taken
    // before the last of them.
    uint64_t Commits() const noexcept { return commits_.load(std::memory_order_acquire); }

    void SetTempo(double bpm);
    void SetQuantum(double beats) { quantum_.store(beats, std::memory_order_relaxed); }
    void SetStartStopSync(bool on);
    // The start lies on the session's next bar line `leadNs` from now or later; a peer alone
    // moves its bar line to that moment. With start/stop sync on, a session that stands starts,
    // and in a session that started just now (GridMaxLateNs ago or later) the start is that one:
    // machines started together begin on one bar line.
    TGridStart RequestStart(int64_t leadNs) override;
    // With start/stop sync on, a session that plays stops.
    void Stopped() override;

private:
    struct TLink;

    void Keep();
    void Look();

    std::atomic<int32_t> peers_{0};
    std::atomic<uint64_t> commits_{0};
    std::atomic<double> quantum_;
    std::unique_ptr<TLink> link_;
    TBeatSnapshot looked_; // the keeper's last look
    std::mutex waiting_;
    std::condition_variable wake_;
    bool stopping_ = false; // guarded by waiting_
    std::thread keeper_;
};
