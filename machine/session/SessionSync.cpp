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
