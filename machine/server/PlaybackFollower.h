#pragma once

#include <QObject>
#include <QTimer>

class TMachineSession;

// Keeps the session up with playback on the event loop, with windows or without: every 30 ms
// while something plays, the session takes in the pattern and the song line playback has moved
// to (TMachineSession::FollowPlayback); and while it watches its output (the JACK transport, a
// JACK server that may go away), what the output did (TMachineSession::TakeInOutput).
class TPlaybackFollower : public QObject {
    Q_OBJECT
public:
    static constexpr int Interval = 30; // milliseconds

    explicit TPlaybackFollower(TMachineSession& session);
    ~TPlaybackFollower() override;
    TPlaybackFollower(const TPlaybackFollower&) = delete;
    TPlaybackFollower& operator=(const TPlaybackFollower&) = delete;

private:
    void Follow();

    TMachineSession& session_;
    QTimer timer_;
    int listener_ = 0;
};
