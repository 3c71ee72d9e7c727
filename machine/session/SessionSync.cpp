#include "MachineSession.h"
#include "SessionReport.h"

// The synchronisation options are settings of the machine, not of the song: no undo step, the
// song stays unmodified.

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

void TMachineSession::SetLink(bool on) {
    TSessionReport report(*this);
    link_ = on;
    Report(chSync | chLink);
}

void TMachineSession::SetLinkStartStop(bool on) {
    TSessionReport report(*this);
    linkStartStop_ = on;
    Report(chSync);
}
