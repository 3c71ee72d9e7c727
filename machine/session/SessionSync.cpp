#include "MachineSession.h"
#include "SessionReport.h"
#include "link/LinkPeer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

// The synchronisation options are settings of the machine, not of the song: no undo step, the
// song stays unmodified.

namespace {

// Four steps to the beat.
constexpr double StepBpm = 15000.0;

// The session's tempo changes one after another are one undo step (a tempo ramp in another
// program does not fill the history); pattern numbers, the other merge keys, are positive.
constexpr int32_t LinkTempoMergeKey = -stTempo;

// A tempo as the notice names it: one decimal.
TUserMessage BpmFigure(double bpm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", bpm);
    return Plain(std::string(text));
}

} // namespace

void TMachineSession::SetSendClock(bool on) {
    TSessionReport report(*this);
    sendClock_ = on;
    playback_->SetSendClock(on);
    Report(chSync);
}

void TMachineSession::SetFollowTransport(bool on) {
    TSessionReport report(*this);
    followTransport_ = on;
    playback_->SetFollowTransport(on);
    Report(chSync | chTransport);
}

// Playback follows the peer's grid while the peer lives; the peer goes only after playback let
// go of it.
void TMachineSession::SetLink(bool on) {
    TSessionReport report(*this);
    if (on && followClock_)
        SetFollowClock(false);
    if (on && !linkPeer_) {
        linkPeer_ =
            std::make_unique<TLinkPeer>(StepBpm / song_.StepTime, LinkQuantum(), linkStartStop_);
        linkBpmSeen_ = 0;
        linkPlayingSeen_ = false;
        playback_->FollowGrid(linkPeer_.get());
    } else if (!on && linkPeer_) {
        playback_->FollowGrid(nullptr);
        linkPeer_.reset();
        linkPeers_ = 0;
        linkNotice_ = {};
    }
    link_ = on;
    Report(chSync | chLink);
}

void TMachineSession::SetLinkStartStop(bool on) {
    TSessionReport report(*this);
    linkStartStop_ = on;
    if (linkPeer_)
        linkPeer_->SetStartStopSync(on);
    Report(chSync);
}

// A bar of the time signature, in quarter notes.
double TMachineSession::LinkQuantum() const {
    if (tempo_.SigNumerator == 0 || tempo_.SigDenominator == 0)
        return 4;
    return tempo_.SigNumerator * 4.0 / tempo_.SigDenominator;
}

void TMachineSession::SendLinkTempo() {
    if (linkPeer_)
        linkPeer_->SetTempo(StepBpm / song_.StepTime);
}

// Only looks that already show the machine's own changes count: an older one would turn them
// back.
void TMachineSession::TakeInLink() {
    if (!linkPeer_)
        return;
    TSessionReport report(*this, stTempo, LinkTempoMergeKey);
    linkPeer_->SetQuantum(LinkQuantum());
    if (Playing())
        playback_->TakeInDeviceTiming(); // JACK's latency follows its connections
    if (const int32_t peers = linkPeer_->Peers(); peers != linkPeers_) {
        linkPeers_ = peers;
        Report(chLink);
    }
    TBeatSnapshot seen;
    if (!linkPeer_->Read(seen) || seen.Commits < linkPeer_->Commits())
        return;
    if (seen.Bpm != linkBpmSeen_) {
        linkBpmSeen_ = seen.Bpm;
        FollowLinkTempo(seen.Bpm);
    }
    if (seen.Playing != linkPlayingSeen_) {
        linkPlayingSeen_ = seen.Playing;
        if (linkStartStop_)
            FollowLinkStartStop(seen);
    }
}

// Playback follows the session's exact tempo by itself (or the range's end, TBeatGrid); the
// song takes the nearest step time.
void TMachineSession::FollowLinkTempo(double bpm) {
    if (!(bpm > 0))
        return;
    const double playedBpm = std::clamp(bpm, GridMinBpm, GridMaxBpm);
    const TUserMessage notice = playedBpm == bpm ? TUserMessage{}
                                                 : Message(TMessageKind::LinkTempoOutside,
                                                           {BpmFigure(bpm), BpmFigure(playedBpm)});
    if (notice != linkNotice_) {
        linkNotice_ = notice;
        Report(chLink);
    }
    TakeStepTime(static_cast<int32_t>(std::lround(StepBpm / playedBpm)));
}

void TMachineSession::FollowLinkStartStop(const TBeatSnapshot& seen) {
    if (seen.Playing && !Playing()) {
        playback_->StartWithSession(seen.PlayingNs);
        PlayToggle();
    } else if (!seen.Playing && Playing()) {
        Stop();
    }
}
