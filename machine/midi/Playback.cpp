#include "Playback.h"

#include "MidiBasics.h"
#include "MidiInputParser.h"
#include "MidiPort.h"
#include "MonotonicClock.h"
#include "song/Melodies.h"
#include "song/PatternFunctions.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <thread>
#include <time.h>
#include <utility>

namespace {
// The longest sleep over ticks that only count; bounds what a lost wake could cost.
constexpr uint32_t MaxIdleTicks = 1000;
// While following a rolling transport, its stop is looked for at least this often.
constexpr uint32_t FollowingIdleTicks = 4;
constexpr int64_t NsPerTick = 1000000;

// Following a grid, the tick looks at it at least this often (the session's tempo may change).
constexpr uint32_t MaxGridIdleTicks = 2;
// What one tick sends at most on the grid: a guard, far above one pass of pulses and events.
constexpr int32_t MaxGridItemsPerTick = 512;
// A start moment computed on a bar line counts as lying on it.
constexpr double BarTolerance = 1e-6;
// Bar lines that moved less than this (in beats) stayed where they were (rounding).
constexpr double BarMoveTolerance = 1e-4;

// Sleeps until `ns` of CLOCK_MONOTONIC (at once when it has passed).
void SleepUntil(int64_t ns) noexcept {
    const timespec at{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

// Pulse k of a pass: six per step, k x step time / 6 after the pass's first tick.
int64_t PulseNs(int64_t pulse, int64_t stepTime) noexcept {
    return pulse * stepTime * NsPerTick / 6;
}

// The first pulse at or after tick `ticks` of a pass.
int32_t FirstPulseFrom(int32_t ticks, int32_t stepTime) noexcept {
    if (ticks <= 0 || stepTime <= 0)
        return 0;
    return static_cast<int32_t>((static_cast<int64_t>(ticks) * 6 + stepTime - 1) / stepTime);
}

} // namespace

TPlayback::TPlayback(TPkSong& song, TMelodies& melodies, TMidiOut& out, TMidiSupport& support,
                     TTempoInfo& tempo, TPlaybackState& state)
    : song_(song), melodies_(melodies), out_(out), support_(support), tempo_(tempo), state_(state) {
    melodies_.Published = [this] { WakeTimer(); };
}

TPlayback::~TPlayback() {
    melodies_.Published = nullptr;
    StopTimer();
}

void TPlayback::WakeTimer() {
    if (support_.TimerRunning())
        support_.WakeTimer();
}

// PauseTicks and TickInProgress are a two-flag hand-over: each side raises its own flag before
// it reads the other's (sequentially consistent), so either the tick sees the pause or the
// user-interface thread sees the tick and waits for it.
void TPlayback::OnTick() noexcept {
    state_.TickInProgress.store(1);
    if (state_.PauseTicks.load() == 0)
        Tick();
    state_.TickInProgress.store(0);
}

void TPlayback::PauseTicks() {
    state_.PauseTicks.store(1);
    while (state_.TickInProgress.load() != 0)
        std::this_thread::yield();
}

void TPlayback::ResumeTicks() {
    state_.PauseTicks.store(0);
    WakeTimer();
}

// The skipped ticks changed nothing but the count (that is what IdleTicksAhead promised), so
// counting them at once gives every later tick the count it would have had.
uint32_t TPlayback::OnTicks(uint32_t skipped) noexcept {
    state_.TickInProgress.store(1);
    if (state_.PauseTicks.load() == 0) {
        if (skipped != 0)
            state_.TickCount.fetch_add(static_cast<int32_t>(skipped), std::memory_order_relaxed);
        Tick();
    }
    state_.TickInProgress.store(0);
    return IdleTicksAhead();
}

uint32_t TPlayback::IdleTicksAhead() const noexcept {
    if (state_.PauseTicks.load() != 0 || state_.Resync.load() != 0)
        return 0;
    if (clockInput_)
        return 0; // every tick looks at the input
    if (grid_)
        return gridIdle_;
    if (transport_ && (state_.Rolling.load(std::memory_order_relaxed) == 0 || stopPending_))
        return 0; // armed: the transport is looked at every tick
    if (startPending_)
        return 0;
    const int32_t timeline = state_.CurrentPattern.load(std::memory_order_relaxed) - 1;
    const int32_t n = state_.EventCursor.load(std::memory_order_relaxed);
    const int32_t ticks = state_.TickCount.load(std::memory_order_relaxed);
    const int32_t length = melodies_.EventCount(timeline);
    if (n >= length)
        return 0;
    int64_t due = static_cast<int64_t>(melodies_.Event(timeline, n).Time);
    if (const int64_t step = melodies_.Event(timeline, 1).Time;
        sendClock_.load(std::memory_order_relaxed) && nextPulse_ < 3 * length)
        due = std::min(due, PulseNs(nextPulse_, step) / NsPerTick);
    if (due < ticks) // an event the count has passed never comes: only counting is left
        return transport_ ? FollowingIdleTicks : MaxIdleTicks;
    const uint32_t limit = transport_ ? FollowingIdleTicks : MaxIdleTicks;
    return static_cast<uint32_t>(std::min<int64_t>(due - ticks, limit));
}

void TPlayback::Tick() noexcept {
    if (clockInput_) {
        ClockTick();
        return;
    }
    if (grid_) {
        GridTick();
        return;
    }
    if (transport_ && !FollowRoll())
        return;
    const int64_t stamp = support_.TickDeadline() + shiftNs_;
    const int32_t timeline = state_.CurrentPattern.load(std::memory_order_relaxed) - 1;
    const int32_t n = state_.EventCursor.load(std::memory_order_relaxed);
    int32_t ticks = state_.TickCount.load(std::memory_order_relaxed);
    const int32_t length = melodies_.EventCount(timeline);
    const int32_t stepTime = static_cast<int32_t>(melodies_.Event(timeline, 1).Time);
    if (state_.Resync.exchange(0) != 0) {
        ticks = static_cast<int32_t>(melodies_.Event(timeline, n).Time);
        nextPulse_ = FirstPulseFrom(ticks, stepTime); // the new grid's pulses from here on
    }
    const TMoment moment = DueAt(timeline, n, length, ticks, stepTime);
    if (!SendMoment(moment, stamp, stamp - ticks * NsPerTick, stepTime)) {
        // The user-interface thread is using the device: try again on the next tick.
        state_.TickCount.store(ticks, std::memory_order_relaxed);
        return;
    }
    int32_t cursor = n;
    if (static_cast<int32_t>(melodies_.Event(timeline, n).Time) == ticks) {
        cursor = (n > 0 && n + 1 != length) ? n + 2 : n + 1;
        ShowEvent(n);
    }
    ++ticks;
    if (cursor < length) {
        state_.EventCursor.store(cursor, std::memory_order_relaxed);
        state_.TickCount.store(ticks, std::memory_order_relaxed);
        return;
    }
    state_.EventCursor.store(0, std::memory_order_relaxed);
    state_.TickCount.store(0, std::memory_order_relaxed);
    nextPulse_ = 0;
    EndOfPass();
}

// Event n and, when it starts a step after the first, its partner: the note-off of one step and
// the note-on of the next go out in the same tick, note-off first. The pass's pulses lie on its
// steps' grid (six per step from the pass's first tick), so every step's events share their due
// time with a pulse; a pulse between two ticks goes out with the earlier one, stamped exactly.
TPlayback::TMoment TPlayback::DueAt(int32_t timeline, int32_t n, int32_t length, int32_t ticks,
                                    int32_t stepTime) const noexcept {
    TMoment moment;
    if (ticks < 0)
        return moment; // a start still ahead
    moment.Start = startPending_;
    const bool muted = state_.Muted.load(std::memory_order_relaxed) != 0;
    if (static_cast<int32_t>(melodies_.Event(timeline, n).Time) == ticks && !muted) {
        moment.First = melodies_.Event(timeline, n).Message;
        moment.Second = (n > 0 && n + 1 != length) ? melodies_.Event(timeline, n + 1).Message : 0;
    }
    const int32_t pulses = 3 * length; // six per step
    const int64_t now = static_cast<int64_t>(ticks) * NsPerTick;
    int32_t pulse = nextPulse_;
    while (pulse < pulses && PulseNs(pulse, stepTime) < now) { // missed: passed over unsent
        ++pulse;
        ++moment.PulsesMissed;
    }
    while (pulse < pulses && PulseNs(pulse, stepTime) == now) {
        ++pulse;
        ++moment.PulsesBefore;
    }
    while (pulse < pulses && PulseNs(pulse, stepTime) < now + NsPerTick) {
        ++pulse;
        ++moment.PulsesAfter;
    }
    return moment;
}

// Everything of one moment under one device lock, or nothing (false) when the lock is taken.
bool TPlayback::SendMoment(const TMoment& moment, int64_t stamp, int64_t passStamp,
                           int32_t stepTime) noexcept {
    const bool clock = sendClock_.load(std::memory_order_relaxed);
    const bool clockDue = clock && (moment.Start || moment.PulsesBefore + moment.PulsesAfter > 0);
    nextPulse_ += moment.PulsesMissed;
    if (!clockDue && moment.First == 0 && moment.Second == 0) {
        nextPulse_ += moment.PulsesBefore + moment.PulsesAfter;
        startPending_ = startPending_ && !moment.Start;
        return true;
    }
    if (!out_.TryLockDevice())
        return false;
    const auto send = [this](uint32_t message, int64_t due) {
        out_.LastResult.store(out_.SendLocked(message, due), std::memory_order_relaxed);
    };
    const auto pulses = [&](int32_t count) {
        for (int32_t i = 0; i < count; ++i, ++nextPulse_)
            if (clock)
                send(MidiStatus::Clock, passStamp + PulseNs(nextPulse_, stepTime));
    };
    if (moment.Start && clock)
        send(MidiStatus::Start, stamp);
    startPending_ = startPending_ && !moment.Start;
    pulses(moment.PulsesBefore);
    if (moment.First != 0)
        send(moment.First, stamp);
    if (moment.Second != 0)
        send(moment.Second, stamp);
    pulses(moment.PulsesAfter);
    out_.UnlockDevice();
    return true;
}

void TPlayback::EndOfPass() noexcept {
    if (state_.PlayMode.load(std::memory_order_relaxed) != TPlayMode::Track)
        return;
    const int32_t count = song_.SonglineCount;
    if (count < 1)
        return;
    int32_t position = state_.TrackPosition.load(std::memory_order_relaxed);
    position = (position >= count || position < 1) ? 1 : position + 1;
    state_.TrackPosition.store(position, std::memory_order_relaxed);
    if (const int32_t pattern = SonglinePattern(position); pattern > 0)
        state_.CurrentPattern.store(pattern, std::memory_order_relaxed);
    state_.PatternChanged.store(1, std::memory_order_release);
}

void TPlayback::ShowEvent(int32_t n) noexcept {
    state_.PlayingEvent.store(n, std::memory_order_relaxed);
    state_.ShownSteps.fetch_add(1, std::memory_order_release);
}

int32_t TPlayback::SonglinePattern(int32_t position) const noexcept {
    if (position < 1 || static_cast<size_t>(position) >= song_.Songlines.size())
        return 0;
    return song_.Songlines[position];
}

bool TPlayback::Playing() const {
    return state_.Playing.load();
}

// Armed for the outside transport, the device is open and has had its bank and program.
TStartResult TPlayback::StartPlayback() {
    if (clockInput_)
        return TStartResult::Idle; // the leader starts playback
    const std::optional<TGridStart> sessionStart = std::exchange(nextGridStart_, std::nullopt);
    if (!support_.DeviceOpen)
        out_.Open();
    if (!support_.DeviceOpen) {
        if (out_.LastResult.load() == MidiResult::Allocated)
            return TStartResult::DeviceBusy;
        return out_.OpenFailure.Empty() ? TStartResult::Failed : TStartResult::Unavailable;
    }
    FollowDevice();
    if (transport_) {
        transport_->Start();
        return TStartResult::Playing;
    }
    state_.EventCursor.store(0);
    state_.TickCount.store(0);
    shiftNs_ = 0;
    nextPulse_ = 0;
    startPending_ = true;
    if (grid_) {
        gridStart_ = StartOnGrid(sessionStart);
        gridStartPending_ = true;
    }
    out_.SelectBank(song_.Bank);
    out_.SendShort(out_.Voice.ProgramChange());
    if (!StartTimer())
        return TStartResult::Failed;
    state_.Playing.store(true);
    if (PlayingChanged)
        PlayingChanged(true);
    return TStartResult::Playing;
}

bool TPlayback::StartTimer() {
    return TickEveryPeriod
               ? support_.StartTimer([this] { OnTick(); })
               : support_.StartTimer([this](uint32_t skipped) { return OnTicks(skipped); });
}

TStartResult TPlayback::PlayPattern() {
    state_.PlayMode.store(TPlayMode::Pattern);
    if (clockInput_)
        return TStartResult::Idle;
    return Playing() ? TStartResult::Playing : StartPlayback();
}

TStartResult TPlayback::PlaySong() {
    state_.PlayMode.store(TPlayMode::Track);
    if (clockInput_)
        return TStartResult::Idle;
    if (Playing())
        return TStartResult::Playing;
    // The pattern of the song line is made current before the first tick can play.
    KeepTrackPositionInTrack();
    if (const int32_t pattern = SonglinePattern(state_.TrackPosition.load()); pattern > 0) {
        state_.CurrentPattern.store(pattern);
        state_.PatternChanged.store(1);
    }
    return StartPlayback();
}

// Following, the stop goes to the transport; the tick stops when it sees it.
void TPlayback::Stop() {
    if (clockInput_) {
        StopFollowedClock();
        return;
    }
    if (transport_) {
        transport_->Stop();
        return;
    }
    if (!Playing())
        return;
    StopTimer();
    state_.Playing.store(false);
    if (SendsClock())
        out_.SendShort(MidiStatus::Stop);
    out_.Reset();
    if (support_.DeviceOpen)
        out_.Close();
    ShowEvent(0);
    if (grid_)
        grid_->Stopped();
    if (PlayingChanged)
        PlayingChanged(false);
}

// The sleep over ticks that only count ends: with the clock on, pulses are due sooner.
void TPlayback::SetSendClock(bool on) {
    sendClock_.store(on, std::memory_order_relaxed);
    WakeTimer();
}

void TPlayback::SetFollowTransport(bool on) {
    followTransport_ = on;
    if (on)
        FollowDevice();
    else
        UnfollowDevice();
}

// Playback that runs on its own ends first: from now on the transport starts it. A followed MIDI
// clock keeps the transport unarmed.
void TPlayback::FollowDevice() {
    if (Armed() || grid_ || !followTransport_ || !support_.DeviceOpen || !out_.Transport())
        return;
    if (Playing())
        Stop();
    if (!support_.DeviceOpen)
        out_.Open();
    if (support_.DeviceOpen && out_.Transport())
        Arm();
}

void TPlayback::Arm() {
    transport_ = out_.Transport();
    const TOutsideTransport::TState seen = transport_->Watch();
    seenStarts_ = seen.Starts;
    seenStops_ = seen.Stops;
    state_.Rolling.store(0);
    stopPending_ = false;
    startPending_ = false;
    out_.SelectBank(song_.Bank);
    out_.SendShort(out_.Voice.ProgramChange());
    if (!StartTimer())
        transport_ = nullptr;
}

void TPlayback::UnfollowDevice() {
    if (!transport_)
        return;
    Disarm();
    if (state_.Playing.load())
        EndPlaying(true);
}

// Playing ends from the user-interface thread: the machines that follow this one hear a Stop
// (when `tellFollowers`), the sounding notes end, and the listeners hear of it.
void TPlayback::EndPlaying(bool tellFollowers) {
    state_.Playing.store(false);
    if (tellFollowers && SendsClock())
        out_.SendShort(MidiStatus::Stop);
    out_.Reset();
    ShowEvent(0);
    if (PlayingChanged)
        PlayingChanged(false);
}

void TPlayback::Disarm() {
    StopTimer();
    transport_ = nullptr;
    state_.Rolling.store(0);
}

// Only the rolling of an armed transport or a followed clock is taken in: playback of the
// machine's own is no roll (and UnfollowDevice takes in the disarming itself).
bool TPlayback::TakeInTransport() {
    if (!Armed())
        return false;
    const bool rolling = state_.Rolling.load() != 0;
    if (rolling == state_.Playing.load())
        return false;
    state_.Playing.store(rolling);
    if (!rolling) {
        out_.Reset();
        ShowEvent(0);
    }
    if (PlayingChanged)
        PlayingChanged(rolling);
    return true;
}

double TPlayback::TransportBeatsPerMinute() const {
    return transport_ ? transport_->Watch().BeatsPerMinute : 0.0;
}

// The tick while armed: false while nothing is to play (the transport stands, or its stop was
// just seen). A start and a stop seen together are taken in that order.
bool TPlayback::FollowRoll() noexcept {
    const TOutsideTransport::TState seen = transport_->Watch();
    if (seen.Stops != seenStops_) {
        seenStops_ = seen.Stops;
        if (state_.Rolling.load(std::memory_order_relaxed) != 0) {
            state_.Rolling.store(0, std::memory_order_release);
            stopPending_ = SendsClock();
        }
    }
    if (stopPending_ && !SendStop())
        return false;
    if (seen.Starts != seenStarts_) {
        seenStarts_ = seen.Starts;
        BeginRoll(transport_);
    }
    return state_.Rolling.load(std::memory_order_relaxed) != 0;
}

bool TPlayback::SendStop() noexcept {
    if (!out_.TryLockDevice())
        return false;
    out_.LastResult.store(out_.SendLocked(MidiStatus::Stop, support_.TickDeadline() + shiftNs_),
                          std::memory_order_relaxed);
    out_.UnlockDevice();
    stopPending_ = false;
    return true;
}

// The first step is due one process period after the first rolling frame (the same moment for
// every machine on that transport). The pass starts on the tick at or before that moment, whose
// stamps are shifted onto it.
void TPlayback::BeginRoll(const TOutsideTransport* transport) noexcept {
    const TOutsideTransport::TState seen = transport->Watch();
    const int64_t origin = seen.RollingRawNs - RawMinusMonotonicNs() + seen.PeriodNs;
    const int64_t deadline = support_.TickDeadline();
    const int64_t ahead = origin > deadline ? (origin - deadline) / NsPerTick : 0;
    shiftNs_ = origin - (deadline + ahead * NsPerTick);
    state_.EventCursor.store(0, std::memory_order_relaxed);
    state_.TickCount.store(static_cast<int32_t>(-ahead), std::memory_order_relaxed);
    state_.Resync.store(0); // a re-timing before the start has nothing to re-base
    nextPulse_ = 0;
    startPending_ = true;
    if (state_.PlayMode.load(std::memory_order_relaxed) == TPlayMode::Track &&
        song_.SonglineCount > 0) {
        state_.TrackPosition.store(1, std::memory_order_relaxed);
        if (const int32_t pattern = SonglinePattern(1); pattern > 0)
            state_.CurrentPattern.store(pattern, std::memory_order_relaxed);
        state_.PatternChanged.store(1, std::memory_order_release);
    }
    state_.Rolling.store(1, std::memory_order_release);
}

TStartResult TPlayback::PlayToggle() {
    if (clockInput_)
        return TStartResult::Idle;
    TStartResult result;
    if (state_.PlayMode.load() == TPlayMode::Pattern) {
        result = PlayPattern();
    } else {
        if (!Playing())
            state_.TrackPosition.store(1);
        result = PlaySong();
    }
    if (!support_.DeviceOpen)
        StopToggle();
    return result;
}

TStartResult TPlayback::ChoosePatternMode() {
    state_.PlayMode.store(TPlayMode::Pattern);
    return Playing() ? PlayToggle() : TStartResult::Idle;
}

TStartResult TPlayback::ChooseTrackMode() {
    state_.PlayMode.store(TPlayMode::Track);
    return Playing() ? PlayToggle() : TStartResult::Idle;
}

void TPlayback::ResetOutput() {
    out_.Reset();
}

bool TPlayback::ReleaseTempo(int32_t stepTime) {
    if (!song_.SongReady || stepTime == tempo_.MsPerStep)
        return false;
    SetTempo(tempo_, stepTime);
    WithTicksPaused([&] {
        SetStepTime(song_, melodies_, stepTime);
        state_.Resync.store(1, std::memory_order_release);
    });
    return true;
}

bool TPlayback::SetTransposition(int32_t semitones) {
    if (!song_.SongReady)
        return false;
    out_.Voice.GlobalTranspose = semitones;
    for (int32_t p = 1; p <= song_.PatternCount; ++p)
        song_.Transpose[p] = semitones;
    BuildAllMelodies(song_, melodies_, out_.Voice);
    if (Playing())
        out_.Reset();
    return true;
}

void TPlayback::ToggleMute() {
    state_.Muted.store(state_.Muted.load() == 0 ? 1 : 0);
    out_.Reset();
}

void TPlayback::SwitchPattern(int32_t pattern) {
    state_.CurrentPattern.store(pattern);
    WakeTimer(); // the new timeline's next event may come sooner
}

void TPlayback::SetVolume(uint8_t velocity) {
    SetAllVelocities(song_, melodies_, out_.Voice, velocity);
}

void TPlayback::StopTimer() {
    if (support_.TimerRunning())
        support_.StopTimer();
}

void TPlayback::KeepTrackPositionInTrack() {
    const int32_t position = state_.TrackPosition.load();
    if (position < 1 || position > song_.SonglineCount)
        state_.TrackPosition.store(1);
}

// --- following a beat grid ---

void TPlayback::FollowGrid(TBeatGrid* grid) {
    if (grid == grid_ || clockInput_)
        return;
    if (grid)
        UnfollowDevice(); // the grid leads from now on
    const bool playing = Playing();
    std::optional<TGridStart> start;
    if (grid && playing) {
        TakeInDeviceTiming();
        start = grid->RequestStart(StartLeadNs + OutputLatencyNs());
    }
    WithTicksPaused([&] {
        grid_ = grid;
        gridSeen_ = {};
        gridStartPending_ = start.has_value();
        gridStart_ = start.value_or(TGridStart{});
        state_.EventCursor.store(0);
        state_.TickCount.store(0);
        nextPulse_ = 0;
        shiftNs_ = 0;
        if (playing)
            out_.Reset();
    });
    if (!grid)
        FollowDevice();
}

void TPlayback::StartWithSession(int64_t sessionStartNs) {
    nextGridStart_ = TGridStart{std::max(sessionStartNs, ClockNs(CLOCK_MONOTONIC) - MaxLateNs), 0};
}

void TPlayback::TakeInDeviceTiming() {
    const TOutputTiming timing = out_.OutputTiming();
    outputLatencyNs_.store(timing.LatencyNs, std::memory_order_relaxed);
    placesInTime_.store(timing.PlacesInTime, std::memory_order_relaxed);
}

// A start the session made, or one of the machine's own, which the grid's peer passes on.
TGridStart TPlayback::StartOnGrid(const std::optional<TGridStart>& sessionStart) {
    TakeInDeviceTiming();
    return sessionStart ? *sessionStart : grid_->RequestStart(StartLeadNs + OutputLatencyNs());
}

// The tick keeps the last look it could read: a writer that is busy throughout a read (it
// holds the sequence for a few stores) costs nothing but freshness.
void TPlayback::GridTick() noexcept {
    state_.Resync.store(0); // a new step time moves no beat
    gridIdle_ = 0;
    if (TBeatSnapshot seen; grid_->Read(seen))
        gridSeen_ = seen;
    if (!gridSeen_.Valid() || (gridStartPending_ && !BeginOnGrid()))
        return;
    KeepPassOnBars();
    SendDueOnGrid(support_.TickDeadline());
}

// The session's bar lines move against the peer's beats when it joins another session or the
// bar changes: the pass moves by as much (at most half a bar), so that its step 1 stays on a
// bar line as the start put it there.
void TPlayback::KeepPassOnBars() noexcept {
    const double quantum = gridSeen_.Quantum;
    double moved = std::fmod(gridSeen_.BarOffset - barOffset_, quantum);
    if (moved > quantum / 2)
        moved -= quantum;
    else if (moved < -quantum / 2)
        moved += quantum;
    if (std::abs(moved) > BarMoveTolerance)
        passBeat_ += moved;
    barOffset_ = gridSeen_.BarOffset;
}

// The first pass begins on the first bar line at or after the start's moment, on a look that
// already shows what the peer did for the start.
bool TPlayback::BeginOnGrid() noexcept {
    if (gridSeen_.Commits < gridStart_.Commits)
        return false;
    passBeat_ = gridSeen_.NextBar(gridSeen_.BeatAt(gridStart_.AfterNs) - BarTolerance);
    barOffset_ = gridSeen_.BarOffset;
    state_.EventCursor.store(0, std::memory_order_relaxed);
    nextPulse_ = 0;
    startPending_ = true;
    gridStartPending_ = false;
    return true;
}

// The pulses (six per step) and the timeline's moments in the order of their beats, a pulse
// before a moment on the same beat, the Start before everything; each is sent by the tick before
// its stamp, on a device that places messages in time at once, on another one at its moment
// (the tick sleeps until then, less than a tick). A moment is event n with its partner, as DueAt
// pairs them.
void TPlayback::SendDueOnGrid(int64_t deadline) noexcept {
    const int64_t horizon = deadline + NsPerTick;
    const bool placesInTime = placesInTime_.load(std::memory_order_relaxed);
    const int64_t latency = outputLatencyNs_.load(std::memory_order_relaxed);
    const bool clock = sendClock_.load(std::memory_order_relaxed);
    const bool muted = state_.Muted.load(std::memory_order_relaxed) != 0;
    int32_t n = state_.EventCursor.load(std::memory_order_relaxed);
    bool locked = false;
    for (int32_t item = 0; item < MaxGridItemsPerTick; ++item) {
        const int32_t timeline = state_.CurrentPattern.load(std::memory_order_relaxed) - 1;
        const int32_t length = melodies_.EventCount(timeline);
        const double stepTime = melodies_.Event(timeline, 1).Time;
        if (length < 2 || stepTime <= 0)
            break;
        n = std::min(n, length - 1);
        const double eventBeat = passBeat_ + melodies_.Event(timeline, n).Time / (4 * stepTime);
        const double pulseBeat = passBeat_ + nextPulse_ / 24.0;
        const bool pulse = nextPulse_ < 3 * length && pulseBeat <= eventBeat;
        const int64_t stamp = gridSeen_.TimeAt(pulse ? pulseBeat : eventBeat) - latency;
        if (stamp >= horizon) {
            gridIdle_ = static_cast<uint32_t>(
                std::min<int64_t>((stamp - horizon) / NsPerTick, MaxGridIdleTicks));
            break;
        }
        const bool late = stamp < deadline - MaxLateNs;
        std::array<uint32_t, 3> messages{};
        size_t count = 0;
        if (startPending_ && clock && !late)
            messages[count++] = MidiStatus::Start;
        if (pulse) {
            if (clock && !late)
                messages[count++] = MidiStatus::Clock;
        } else if (!muted) {
            const uint32_t partner =
                (n > 0 && n + 1 != length) ? melodies_.Event(timeline, n + 1).Message : 0;
            for (uint32_t message : {melodies_.Event(timeline, n).Message, partner})
                if (message != 0 && (!late || (message & 0xF0) == 0x80))
                    messages[count++] = message;
        }
        if (count != 0 && !placesInTime && stamp > deadline) {
            if (locked)
                out_.UnlockDevice(); // what went out before goes on while the tick waits
            locked = false;
            SleepUntil(stamp);
        }
        if (count != 0 && !locked && !(locked = out_.TryLockDevice()))
            break; // the user-interface thread is using the device: the next tick sends it
        for (size_t i = 0; i < count; ++i)
            out_.LastResult.store(out_.SendLocked(messages[i], stamp), std::memory_order_relaxed);
        startPending_ = false;
        if (pulse) {
            ++nextPulse_;
            continue;
        }
        ShowEvent(n);
        n = (n > 0 && n + 1 != length) ? n + 2 : n + 1;
        if (n >= length) { // the next pass begins where this one's last step ends
            passBeat_ += length / 8.0;
            n = 0;
            nextPulse_ = 0;
            EndOfPass();
        }
    }
    state_.EventCursor.store(n, std::memory_order_relaxed);
    if (locked)
        out_.UnlockDevice();
}
