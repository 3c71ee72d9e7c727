#include "Playback.h"

#include "MidiBasics.h"
#include "MidiPort.h"
#include "song/Melodies.h"
#include "song/PatternFunctions.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <algorithm>
#include <thread>

namespace {
// The longest sleep over ticks that only count; bounds what a lost wake could cost.
constexpr uint32_t MaxIdleTicks = 1000;
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
    const int32_t timeline = state_.CurrentPattern.load(std::memory_order_relaxed) - 1;
    const int32_t n = state_.EventCursor.load(std::memory_order_relaxed);
    const int32_t ticks = state_.TickCount.load(std::memory_order_relaxed);
    if (n >= melodies_.EventCount(timeline))
        return 0;
    const int64_t due = static_cast<int64_t>(melodies_.Event(timeline, n).Time);
    if (due < ticks) // an event the count has passed never comes: only counting is left
        return MaxIdleTicks;
    return static_cast<uint32_t>(std::min<int64_t>(due - ticks, MaxIdleTicks));
}

void TPlayback::Tick() noexcept {
    const int32_t timeline = state_.CurrentPattern.load(std::memory_order_relaxed) - 1;
    const int32_t n = state_.EventCursor.load(std::memory_order_relaxed);
    int32_t ticks = state_.TickCount.load(std::memory_order_relaxed);
    if (state_.Resync.exchange(0) != 0)
        ticks = static_cast<int32_t>(melodies_.Event(timeline, n).Time);
    const int32_t length = melodies_.EventCount(timeline);
    int32_t cursor = n;
    if (static_cast<int32_t>(melodies_.Event(timeline, n).Time) == ticks) {
        if (!SendDue(timeline, n, length)) {
            // The user-interface thread is using the device: try again on the next tick.
            state_.TickCount.store(ticks, std::memory_order_relaxed);
            return;
        }
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
    EndOfPass();
}

// Sends event n and, when it starts a step after the first, its partner: the note-off of one
// step and the note-on of the next go out in the same tick, note-off first.
bool TPlayback::SendDue(int32_t timeline, int32_t n, int32_t length) noexcept {
    if (state_.Muted.load(std::memory_order_relaxed) != 0)
        return true;
    const uint32_t first = melodies_.Event(timeline, n).Message;
    const uint32_t second =
        (n > 0 && n + 1 != length) ? melodies_.Event(timeline, n + 1).Message : 0;
    if (first == 0 && second == 0)
        return true;
    if (!out_.TryLockDevice())
        return false;
    if (first != 0)
        out_.LastResult.store(out_.SendLocked(first), std::memory_order_relaxed);
    if (second != 0)
        out_.LastResult.store(out_.SendLocked(second), std::memory_order_relaxed);
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

TStartResult TPlayback::StartPlayback() {
    state_.EventCursor.store(0);
    state_.TickCount.store(0);
    if (!support_.DeviceOpen)
        out_.Open();
    if (!support_.DeviceOpen) {
        if (out_.LastResult.load() == MidiResult::Allocated)
            return TStartResult::DeviceBusy;
        return out_.OpenFailure.Empty() ? TStartResult::Failed : TStartResult::Unavailable;
    }
    out_.SelectBank(song_.Bank);
    out_.SendShort(out_.Voice.ProgramChange());
    const bool started =
        TickEveryPeriod
            ? support_.StartTimer([this] { OnTick(); })
            : support_.StartTimer([this](uint32_t skipped) { return OnTicks(skipped); });
    if (!started)
        return TStartResult::Failed;
    state_.Playing.store(true);
    if (PlayingChanged)
        PlayingChanged(true);
    return TStartResult::Playing;
}

TStartResult TPlayback::PlayPattern() {
    state_.PlayMode.store(TPlayMode::Pattern);
    return Playing() ? TStartResult::Playing : StartPlayback();
}

TStartResult TPlayback::PlaySong() {
    state_.PlayMode.store(TPlayMode::Track);
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

void TPlayback::Stop() {
    if (!Playing())
        return;
    StopTimer();
    state_.Playing.store(false);
    out_.Reset();
    if (support_.DeviceOpen)
        out_.Close();
    ShowEvent(0);
    if (PlayingChanged)
        PlayingChanged(false);
}

TStartResult TPlayback::PlayToggle() {
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
