#include "TempoFollower.h"

#include "TempoBar.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double MsPerMinutePerStep = 60000.0 / 4.0; // a beat is four steps

} // namespace

int32_t BarPositionOfBpm(double bpm) {
    const double stepTime = bpm > 0 ? MsPerMinutePerStep / bpm : TempoBar::MaxStepTime;
    const double held =
        std::clamp(stepTime, double(TempoBar::MinStepTime), double(TempoBar::MaxStepTime));
    return TempoBar::PositionOf(static_cast<int32_t>(std::lround(held)));
}

double BpmOfBarPosition(int32_t position) {
    return MsPerMinutePerStep / TempoBar::StepTimeAt(position);
}

TTempoFollower::TTempoFollower(std::unique_ptr<TSessionTempo> session, int32_t position)
    : session_(std::move(session)), position_(position) {
    connect(&timer_, &QTimer::timeout, this, &TTempoFollower::Poll);
    timer_.start(PollMs);
}

void TTempoFollower::Poll() {
    const int32_t position = BarPositionOfBpm(session_->Bpm());
    if (position == position_)
        return;
    position_ = position;
    emit Followed(position);
}

void TTempoFollower::Propose(int32_t position) {
    position_ = position;
    session_->SetBpm(BpmOfBarPosition(position));
}
