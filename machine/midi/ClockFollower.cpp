#include "ClockFollower.h"

#include <algorithm>

namespace {

constexpr double NanosPerMinute = 60e9;
constexpr double NanosPerMilli = 1e6;
// Longer than any time the clock may be silent for; keeps the conversion in range.
constexpr double LongestTimeoutNs = 1e18;

} // namespace

std::optional<TClockFollower::TDueStep> TClockFollower::Pulse(int64_t nowNs) {
    RecordPulse(nowNs);
    if (state_ == TState::Stopped)
        return std::nullopt;
    state_ = TState::Running;
    const int64_t pulse = pulseIndex_++;
    if (pulse % PulsesPerStep != 0)
        return std::nullopt;
    return TDueStep{pulse / PulsesPerStep, nowNs};
}

void TClockFollower::Start(int64_t nowNs) {
    pulseIndex_ = 0;
    Follow(nowNs);
}

void TClockFollower::Stop() {
    state_ = TState::Stopped;
    stopReason_ = TStopReason::StopMessage;
}

void TClockFollower::Continue(int64_t nowNs) {
    if (state_ == TState::Stopped)
        Follow(nowNs);
}

void TClockFollower::SongPosition(int32_t sixteenths) {
    pulseIndex_ = static_cast<int64_t>(std::max(sixteenths, 0)) * PulsesPerStep;
}

bool TClockFollower::CheckClockLost(int64_t nowNs) {
    if (state_ == TState::Stopped)
        return false;
    const int64_t lastSign =
        pulseCount_ > 0 ? std::max(pulseTimes_[newest_], followSinceNs_) : followSinceNs_;
    if (nowNs - lastSign <= TimeoutNs())
        return false;
    state_ = TState::Stopped;
    stopReason_ = TStopReason::ClockLost;
    return true;
}

int64_t TClockFollower::NextPosition() const {
    return (pulseIndex_ + PulsesPerStep - 1) / PulsesPerStep;
}

std::optional<double> TClockFollower::PulseIntervalNs() const {
    if (pulseCount_ < 2)
        return std::nullopt;
    // Least squares of the times over the pulse numbers: the slope is the interval. Times are
    // taken relative to the oldest pulse so the sums stay exact enough in doubles.
    const int oldest = (newest_ - pulseCount_ + 1 + TempoWindow) % TempoWindow;
    const double meanIndex = (pulseCount_ - 1) / 2.0;
    double meanTime = 0;
    for (int i = 0; i < pulseCount_; ++i)
        meanTime +=
            static_cast<double>(pulseTimes_[(oldest + i) % TempoWindow] - pulseTimes_[oldest]);
    meanTime /= pulseCount_;
    double covariance = 0;
    double variance = 0;
    for (int i = 0; i < pulseCount_; ++i) {
        const double time =
            static_cast<double>(pulseTimes_[(oldest + i) % TempoWindow] - pulseTimes_[oldest]);
        covariance += (i - meanIndex) * (time - meanTime);
        variance += (i - meanIndex) * (i - meanIndex);
    }
    const double interval = covariance / variance;
    if (!(interval > 0))
        return std::nullopt;
    return interval;
}

std::optional<double> TClockFollower::BeatsPerMinute() const {
    const std::optional<double> interval = PulseIntervalNs();
    if (!interval)
        return std::nullopt;
    return NanosPerMinute / (*interval * PulsesPerBeat);
}

std::optional<double> TClockFollower::StepTimeMs() const {
    const std::optional<double> interval = PulseIntervalNs();
    if (!interval)
        return std::nullopt;
    return *interval * PulsesPerStep / NanosPerMilli;
}

void TClockFollower::Follow(int64_t nowNs) {
    state_ = TState::Waiting;
    stopReason_ = TStopReason::None;
    followSinceNs_ = nowNs;
}

void TClockFollower::RecordPulse(int64_t nowNs) {
    // After a silence the old pulses say nothing about the new tempo.
    if (pulseCount_ > 0 && nowNs - pulseTimes_[newest_] > TimeoutNs())
        pulseCount_ = 0;
    newest_ = (newest_ + 1) % TempoWindow;
    pulseTimes_[newest_] = nowNs;
    pulseCount_ = std::min(pulseCount_ + 1, TempoWindow);
}

int64_t TClockFollower::TimeoutNs() const {
    const std::optional<double> interval = PulseIntervalNs();
    if (!interval)
        return FallbackTimeoutNs;
    return static_cast<int64_t>(std::min(*interval * TempoWindow, LongestTimeoutNs));
}
