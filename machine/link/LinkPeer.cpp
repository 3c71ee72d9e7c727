#include "LinkPeer.h"

#include "midi/MonotonicClock.h"

#include <ableton/Link.hpp>
#include <chrono>

namespace {

using Micros = std::chrono::microseconds;

constexpr Micros OneSecond{1000000};

int64_t Nanos(Micros micros) {
    return static_cast<int64_t>(micros.count()) * 1000;
}

} // namespace

struct TLinkPeer::TLink {
    explicit TLink(double bpm) : Link(bpm) {}
    ableton::Link Link;
};

TLinkPeer::TLinkPeer(double bpm, double quantum, bool startStopSync)
    : quantum_(quantum), link_(std::make_unique<TLink>(bpm)) {
    ableton::Link& link = link_->Link;
    link.setNumPeersCallback(
        [this](std::size_t peers) { peers_.store(static_cast<int32_t>(peers)); });
    link.enableStartStopSync(startStopSync);
    link.enable(true);
    Look(); // a grid before the first start
    keeper_ = std::thread(&TLinkPeer::Keep, this);
}

TLinkPeer::~TLinkPeer() {
    {
        const std::lock_guard<std::mutex> lock(waiting_);
        stopping_ = true;
    }
    wake_.notify_one();
    keeper_.join();
    link_.reset(); // leaves the session; Link's threads end
}

void TLinkPeer::Keep() {
    std::unique_lock<std::mutex> lock(waiting_);
    while (!wake_.wait_for(lock, std::chrono::nanoseconds(KeepIntervalNs),
                           [this] { return stopping_; })) {
        lock.unlock();
        Look();
        lock.lock();
    }
}

// One look at the session, in CLOCK_MONOTONIC: Link's clock is CLOCK_MONOTONIC_RAW.
void TLinkPeer::Look() {
    const ableton::Link& link = link_->Link;
    TSessionSample sample;
    sample.Commits = commits_.load(std::memory_order_acquire);
    sample.Quantum = quantum_.load(std::memory_order_relaxed);
    const auto state = link.captureAppSessionState();
    const Micros now = link.clock().micros();
    const int64_t rawMinusMonotonic = RawMinusMonotonicNs();
    sample.Ns = Nanos(now) - rawMinusMonotonic;
    sample.Bpm = state.tempo();
    sample.Beat = state.beatAtTime(now, 1);
    sample.BeatLater = state.beatAtTime(now + OneSecond, 1);
    sample.BarPhase = state.phaseAtTime(now, sample.Quantum);
    sample.Playing = state.isPlaying();
    sample.PlayingNs = Nanos(state.timeForIsPlaying()) - rawMinusMonotonic;
    looked_ = NextSnapshot(looked_, sample);
    Publish(looked_);
}

void TLinkPeer::SetTempo(double bpm) {
    ableton::Link& link = link_->Link;
    auto state = link.captureAppSessionState();
    state.setTempo(bpm, link.clock().micros());
    link.commitAppSessionState(state);
    commits_.fetch_add(1, std::memory_order_release);
}

void TLinkPeer::SetStartStopSync(bool on) {
    link_->Link.enableStartStopSync(on);
}

TGridStart TLinkPeer::RequestStart(int64_t leadNs) {
    ableton::Link& link = link_->Link;
    auto state = link.captureAppSessionState();
    const Micros now = link.clock().micros();
    if (link.isStartStopSyncEnabled() && state.isPlaying() &&
        state.timeForIsPlaying() >= now - Micros(GridMaxLateNs / 1000))
        return {Nanos(state.timeForIsPlaying()) - RawMinusMonotonicNs(), Commits()};
    const Micros at = now + Micros(leadNs / 1000);
    state.requestBeatAtTime(0, at, quantum_.load(std::memory_order_relaxed));
    if (link.isStartStopSyncEnabled() && !state.isPlaying())
        state.setIsPlaying(true, at);
    link.commitAppSessionState(state);
    const uint64_t commits = commits_.fetch_add(1, std::memory_order_release) + 1;
    return {Nanos(at) - RawMinusMonotonicNs(), commits};
}

void TLinkPeer::Stopped() {
    ableton::Link& link = link_->Link;
    if (!link.isStartStopSyncEnabled())
        return;
    auto state = link.captureAppSessionState();
    if (!state.isPlaying())
        return;
    state.setIsPlaying(false, link.clock().micros());
    link.commitAppSessionState(state);
    commits_.fetch_add(1, std::memory_order_release);
}
