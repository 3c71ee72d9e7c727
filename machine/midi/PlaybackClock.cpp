// Playback following a leader's MIDI clock: the tick reads the input's clock messages, a
// TClockFollower says which pulse brings which step, and each step goes out stamped with its
// pulse's arrival.
#include "MidiBasics.h"
#include "MidiInput.h"
#include "MonotonicClock.h"
#include "Playback.h"
#include "song/Melodies.h"
#include "song/SongModel.h"

#include <algorithm>

namespace {

// What taking in one clock message queues at most: the message passed on, the note-off of the
// step before and the step's note-on. One more place stays free for a stop the tick makes of its
// own (a lost clock, a stop of the user-interface thread).
constexpr size_t MostSendsPerMessage = 3;
constexpr size_t SendsKeptFree = 1;

// A device that places messages in time (JACK) writes a step one processing period later than
// its own delay: the tick then has two periods to hand a step over after its pulse arrived,
// whatever the server's wake-ups do, and the step still lies a whole number of periods after its
// pulse's frame.
constexpr uint32_t ClockHoldPeriods = 1;

uint32_t PackedWord(const TMidiMessage& message) noexcept {
    return message.Status | static_cast<uint32_t>(message.Data1) << 8 |
           static_cast<uint32_t>(message.Data2) << 16;
}

bool IsNoteOn(uint32_t message) noexcept {
    return (message & 0xF0) == 0x90;
}

} // namespace

void TPlayback::FollowClock(TMidiInputSink* input) {
    if (input == clockInput_ || grid_)
        return;
    if (clockInput_)
        UnfollowClock();
    if (!input) {
        FollowDevice(); // the JACK transport may lead again
        return;
    }
    UnfollowDevice();
    if (Playing())
        Stop();
    if (!support_.DeviceOpen)
        out_.Open();
    ArmForClock(input);
}

// What waited in the input from before starts nothing: only what comes from now on is followed.
void TPlayback::ArmForClock(TMidiInputSink* input) {
    TTimedMidiMessage stale;
    while (input->PopClock(stale)) {
    }
    follower_ = TClockFollower{};
    clockNoteOff_ = 0;
    clockQueued_ = 0;
    clockStopRequested_.store(false);
    clockStepTimeMs_.store(0);
    clockLost_.store(false);
    state_.Rolling.store(0);
    out_.HoldPeriods(ClockHoldPeriods);
    if (support_.DeviceOpen) {
        out_.SelectBank(song_.Bank);
        out_.SendShort(out_.Voice.ProgramChange());
    }
    clockInput_ = input;
    if (!StartTimer())
        clockInput_ = nullptr;
}

void TPlayback::UnfollowClock() {
    StopTimer();
    clockInput_ = nullptr;
    out_.HoldPeriods(0);
    clockStepTimeMs_.store(0);
    state_.Rolling.store(0);
    if (state_.Playing.load())
        EndPlaying(true);
}

// Playing ends at once; the tick stops its follower, so only the leader's next Start or Continue
// plays again. Rolling is cleared here too, so that taking in the transport cannot bring back a
// roll the tick has not yet ended.
void TPlayback::StopFollowedClock() {
    clockStopRequested_.store(true);
    state_.Rolling.store(0);
    if (state_.Playing.load())
        EndPlaying(false);
}

void TPlayback::ClockTick() noexcept {
    state_.Resync.store(0); // the steps follow the pulses, not the step time
    const int64_t now = support_.TickDeadline();
    if (clockStopRequested_.exchange(false)) {
        follower_.Stop();
        DropQueuedNoteOns(); // the user-interface thread silenced the output already
        EndClockRoll(now);
    }
    TakeInClockInput();
    if (follower_.CheckClockLost(now)) {
        EndClockRoll(now);
        clockLost_.store(true);
    }
    if (const std::optional<double> stepTime = follower_.StepTimeMs())
        clockStepTimeMs_.store(*stepTime, std::memory_order_relaxed);
    SendClockQueue();
}

// Messages the queue could not hold what they send for stay in the input for the next tick.
void TPlayback::TakeInClockInput() noexcept {
    bool offsetRead = false;
    int64_t rawMinusMonotonic = 0;
    TTimedMidiMessage received;
    while (clockQueued_ + MostSendsPerMessage + SendsKeptFree <= ClockQueueCapacity &&
           clockInput_->PopClock(received)) {
        if (!offsetRead) {
            rawMinusMonotonic = RawMinusMonotonicNs();
            offsetRead = true;
        }
        TakeClockMessage(received.Message, received.RawNs - rawMinusMonotonic);
    }
}

void TPlayback::TakeClockMessage(const TMidiMessage& message, int64_t stampNs) noexcept {
    if (sendClock_.load(std::memory_order_relaxed))
        QueueClockSend(PackedWord(message), stampNs);
    switch (message.Status) {
    case MidiStatus::Clock:
        if (const std::optional<TClockFollower::TDueStep> due = follower_.Pulse(stampNs))
            PlayClockStep(due->Position, due->PulseNs);
        break;
    case MidiStatus::Start:
        follower_.Start(stampNs);
        break;
    case MidiStatus::Continue:
        follower_.Continue(stampNs);
        break;
    case MidiStatus::Stop:
        follower_.Stop();
        EndClockRoll(stampNs);
        return;
    case MidiStatus::SongPosition:
        follower_.SongPosition(message.Data1 | message.Data2 << 7);
        return;
    default:
        return;
    }
    // Start or Continue: the song line to go on from is current before the roll is taken in.
    if (message.Status != MidiStatus::Clock &&
        follower_.State() != TClockFollower::TState::Stopped) {
        ClockStepAt(follower_.NextPosition());
        state_.Rolling.store(1, std::memory_order_release);
    }
}

// The note-off of the step played before goes first, then the step's note-on, both at the pulse.
void TPlayback::PlayClockStep(int64_t position, int64_t pulseNs) noexcept {
    const TClockStep step = ClockStepAt(position);
    if (clockNoteOff_ != 0)
        QueueClockSend(clockNoteOff_, pulseNs);
    clockNoteOff_ = 0;
    if (step.Timeline < 0)
        return;
    const uint32_t noteOn = melodies_.Event(step.Timeline, 2 * step.Step).Message;
    if (noteOn != 0 && state_.Muted.load(std::memory_order_relaxed) == 0)
        QueueClockSend(noteOn, pulseNs);
    clockNoteOff_ = melodies_.Event(step.Timeline, 2 * step.Step + 1).Message;
    ShowEvent(step.Step == 0 ? 0 : 2 * step.Step - 1);
}

// Pattern mode, or a track without steps: the current pattern in a loop.
TPlayback::TClockStep TPlayback::ClockStepAt(int64_t position) noexcept {
    if (state_.PlayMode.load(std::memory_order_relaxed) == TPlayMode::Track)
        if (const TClockStep step = TrackStepAt(position); step.Timeline >= 0)
            return step;
    const int32_t pattern = state_.CurrentPattern.load(std::memory_order_relaxed);
    const int32_t steps = StepsOfPattern(pattern);
    if (steps == 0)
        return {};
    return {pattern - 1, static_cast<int32_t>(position % steps)};
}

// The song lines one after another, the track in a loop; a step on another song line than the
// one that plays makes that line and its pattern current.
TPlayback::TClockStep TPlayback::TrackStepAt(int64_t position) noexcept {
    const int32_t count = song_.SonglineCount;
    int64_t trackSteps = 0;
    for (int32_t line = 1; line <= count; ++line)
        trackSteps += StepsOfPattern(SonglinePattern(line));
    if (trackSteps == 0)
        return {};
    int64_t rest = position % trackSteps;
    for (int32_t line = 1; line <= count; ++line) {
        const int32_t pattern = SonglinePattern(line);
        const int32_t steps = StepsOfPattern(pattern);
        if (rest >= steps) {
            rest -= steps;
            continue;
        }
        if (state_.TrackPosition.load(std::memory_order_relaxed) != line ||
            state_.CurrentPattern.load(std::memory_order_relaxed) != pattern) {
            state_.TrackPosition.store(line, std::memory_order_relaxed);
            state_.CurrentPattern.store(pattern, std::memory_order_relaxed);
            state_.PatternChanged.store(1, std::memory_order_release);
        }
        return {pattern - 1, static_cast<int32_t>(rest)};
    }
    return {};
}

int32_t TPlayback::StepsOfPattern(int32_t pattern) const noexcept {
    return melodies_.EventCount(pattern - 1) / 2;
}

void TPlayback::EndClockRoll(int64_t stampNs) noexcept {
    state_.Rolling.store(0, std::memory_order_release);
    if (clockNoteOff_ != 0)
        QueueClockSend(clockNoteOff_, stampNs);
    clockNoteOff_ = 0;
}

void TPlayback::QueueClockSend(uint32_t message, int64_t stampNs) noexcept {
    if (clockQueued_ < ClockQueueCapacity)
        clockQueue_[clockQueued_++] = {message, stampNs};
}

void TPlayback::DropQueuedNoteOns() noexcept {
    const auto end = clockQueue_.begin() + static_cast<std::ptrdiff_t>(clockQueued_);
    clockQueued_ = static_cast<size_t>(
        std::remove_if(clockQueue_.begin(), end,
                       [](const TClockSend& send) { return IsNoteOn(send.Message); }) -
        clockQueue_.begin());
}

// All under one device lock, or nothing when the user-interface thread is using the device: the
// queue then waits for the next tick.
void TPlayback::SendClockQueue() noexcept {
    if (clockQueued_ == 0 || !out_.TryLockDevice())
        return;
    for (size_t i = 0; i < clockQueued_; ++i)
        out_.LastResult.store(out_.SendLocked(clockQueue_[i].Message, clockQueue_[i].StampNs),
                              std::memory_order_relaxed);
    out_.UnlockDevice();
    clockQueued_ = 0;
}
