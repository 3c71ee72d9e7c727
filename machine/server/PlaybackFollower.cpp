#include "PlaybackFollower.h"

#include "session/MachineSession.h"

TPlaybackFollower::TPlaybackFollower(TMachineSession& session) : session_(session) {
    timer_.setInterval(Interval);
    connect(&timer_, &QTimer::timeout, this, &TPlaybackFollower::Follow);
    listener_ = session_.Listen([this](TChanges changes) {
        if ((changes & (chTransport | chDevice | chSync)) && session_.WatchesOutput() &&
            !timer_.isActive())
            timer_.start();
    });
    if (session_.WatchesOutput())
        timer_.start();
}

TPlaybackFollower::~TPlaybackFollower() {
    session_.Unlisten(listener_);
}

void TPlaybackFollower::Follow() {
    session_.FollowPlayback();
    if (session_.WatchesOutput())
        session_.TakeInOutput();
    if (!session_.WatchesOutput())
        timer_.stop(); // runs again when playback starts or a device is to be watched
}
