#pragma once

#include <functional>
#include <memory>

// The tempo of the shared session the controller's tempo bar follows (Ableton Link), behind an
// interface so that the core's tests need no network.
class TSessionTempo {
public:
    virtual ~TSessionTempo() = default;
    // The session's tempo now, in beats per minute.
    virtual double Bpm() = 0;
    // Proposes a tempo to the session (the user moved the bar).
    virtual void SetBpm(double bpm) = 0;
};

// Joins the session, bringing `bpm` along for a session that has no other peer yet.
using TJoinSession = std::function<std::unique_ptr<TSessionTempo>(double bpm)>;

// The controller's own peer of the Ableton Link session on the local network. Its calls are
// Link's application-thread calls: made on the user-interface thread, they may wait briefly.
std::unique_ptr<TSessionTempo> JoinLinkSession(double bpm);
