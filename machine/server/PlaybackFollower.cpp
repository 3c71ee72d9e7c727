#include "PlaybackFollower.h"

#include "session/MachineSession.h"

TPlaybackFollower::TPlaybackFollower(TMachineSession& session) : session_(session) {
    timer_.setInterval(Interval);
    connect(&timer_, &QTimer::timeout, this, &TPlaybackFollower::Follow);
    listener_ = session_.Listen([this](TChanges changes) {
        if ((changes & chTransport) && session_.Playing() && !timer_.isActive())
            timer_.start();
    });
    if (session_.Playing())
        timer_.start();
}

TPlaybackFollower::~TPlaybackFollower() {
    session_.Unlisten(listener_);
}

void TPlaybackFollower::Follow() {
    session_.FollowPlayback();
    if (!session_.Playing())
        timer_.stop(); // runs again when playback starts
}
