#pragma once

#include "BeatGrid.h"
#include "ClockFollower.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

struct TPkSong;
struct TTempoInfo;
struct TMidiSupport;
class TMelodies;
class TMidiOut;
class TOutsideTransport;
class TMidiInputSink;
struct TMidiMessage;

// What the transport plays: the pattern shown in the pattern editor in a loop, or the track.
enum class TPlayMode : uint8_t { Pattern = 0, Track = 1 };

// The transport and tick state shared between the playback tick (timer thread) and the
// user-interface thread.
struct TPlaybackState {
    std::atomic<bool> Playing{false};
    std::atomic<TPlayMode> PlayMode{TPlayMode::Pattern};
    std::atomic<int32_t> CurrentPattern{1}; // 1-based pattern that plays and shows
    std::atomic<int32_t> TrackPosition{1};  // 1-based song line
    std::atomic<uint8_t> Resync{0};         // set by re-timing, consumed by the tick
    std::atomic<uint8_t> PauseTicks{0};     // while set, a tick does nothing at all
    std::atomic<int32_t> EventCursor{0};    // next event of the current timeline
    std::atomic<int32_t> TickCount{0};      // ticks since the current pass began
    std::atomic<uint8_t> Muted{0};          // ticks send nothing but keep advancing
    std::atomic<uint8_t> TickInProgress{0};
    // Following an outside transport: set by the tick while it rolls (the user-interface thread
    // takes it in as Playing).
    std::atomic<uint8_t> Rolling{0};

    // Step display hand-over: the tick writes these, the windows' 30 ms timer reads them.
    std::atomic<int32_t> PlayingEvent{0};   // timeline index last shown as playing
    std::atomic<uint32_t> ShownSteps{0};    // counts the events shown; a change means "redraw"
    std::atomic<uint8_t> PatternChanged{0}; // the tick moved to another song line
};

// What a start of the transport came to.
enum class TStartResult {
    Playing,
    DeviceBusy,  // the port could not be opened because another program holds the device
    Unavailable, // the port could not be opened and said why (TMidiOut::OpenFailure)
    Failed,      // the port could not be opened or the timer not started
    Idle,        // nothing was to be started (a mode choice while stopped)
};

// Live playback of the song: the pattern shown in the pattern editor in a loop (pattern mode) or
// the track in a loop (track mode), one tick per timer period.
//
// Threading: OnTick runs on the timer thread; every other operation on the user-interface
// thread. The tick reads the timelines (lock-free), the output's shared fields, the tick state
// and, in track mode, the song's Songlines and SonglineCount. Those two (and anything else a
// tick may read, such as a whole song being replaced by a load) may only change inside
// WithTicksPaused, which raises PauseTicks and waits until no tick is in progress. The tick
// never blocks, locks a mutex, allocates or logs (following a beat grid, it may sleep until a
// message's moment within its own millisecond; FollowGrid).
//
// The operations are the transport rules behind the machine session's operations (which report
// their changes to the windows): PlayPattern plays the current pattern in a loop and PlaySong the
// track from its current song line; Stop ends playback and silences the output. PlayToggle plays
// in the chosen mode (the track from its first line when nothing plays), StopToggle stops.
// ChoosePatternMode and ChooseTrackMode choose the mode and go on playing in it when something
// plays. ResetOutput silences the output, ReleaseTempo applies the tempo once a tempo change is
// complete, SetTransposition transposes every pattern, ToggleMute mutes or unmutes playback,
// SetVolume gives every step one velocity, TogglePreview turns the preview of edits during
// playback on or off.
class TPlayback {
public:
    TPlayback(TPkSong& song, TMelodies& melodies, TMidiOut& out, TMidiSupport& support,
              TTempoInfo& tempo, TPlaybackState& state);
    ~TPlayback(); // stops the timer
    TPlayback(const TPlayback&) = delete;
    TPlayback& operator=(const TPlayback&) = delete;

    // The tick of one millisecond: the reference of what playback does at every tick.
    void OnTick() noexcept;
    // What the timer thread runs: first counts `skipped` ticks that did nothing but count, then
    // runs the tick; returns how many of the following ticks will do nothing but count, so the
    // thread may sleep over them (a change from the user-interface thread wakes it).
    uint32_t OnTicks(uint32_t skipped) noexcept;
    // The ticks from the next one on that can only count: the next event of the current
    // timeline is that far ahead. 0 while paused or re-timing.
    uint32_t IdleTicksAhead() const noexcept;

    bool Playing() const;
    TStartResult StartPlayback();
    TStartResult PlayPattern();
    TStartResult PlaySong();
    void Stop();
    TStartResult PlayToggle();
    void StopToggle() { Stop(); }
    TStartResult ChoosePatternMode();
    TStartResult ChooseTrackMode();
    void ResetOutput();
    // Applies step time `stepTime` when the song is ready and it differs from the current one;
    // playback goes on at the same event index on the new grid. Returns whether it applied.
    bool ReleaseTempo(int32_t stepTime);
    // Every pattern takes the transposition; sounding notes are silenced while playing.
    // Ignored (false) until the song is ready.
    bool SetTransposition(int32_t semitones);
    void ToggleMute();
    void SetVolume(uint8_t velocity);
    // The pattern that plays (pattern mode) and is edited.
    void SwitchPattern(int32_t pattern);
    void TogglePreview() { previewWhilePlaying_ = !previewWhilePlaying_; }
    bool PreviewWhilePlaying() const { return previewWhilePlaying_; }

    // Stops the timer without the rest of the stop path (closing a window).
    void StopTimer();

    // MIDI clock: while playing, six clock pulses (F8) per step at exact due times, Start (FA)
    // with the first step and Stop (FC) at the stop. Any time; a change applies from the next
    // tick.
    void SetSendClock(bool on);
    bool SendsClock() const { return sendClock_.load(std::memory_order_relaxed); }

    // Following an outside transport (JACK's): while on and the open device has one, the timer
    // runs armed; playback starts when the transport starts rolling (the first step one process
    // period after its first rolling frame; in track mode from the first song line) and stops
    // when it stops. The play operations then start the transport, Stop stops it. Call
    // FollowDevice after the device opened and UnfollowDevice before it closes or changes.
    void SetFollowTransport(bool on);
    bool FollowsTransport() const { return followTransport_; }
    void FollowDevice();
    void UnfollowDevice();
    // The timer runs for the outside transport or for a followed MIDI clock.
    bool Armed() const { return transport_ != nullptr || clockInput_ != nullptr; }
    // Takes in, on the user-interface thread, what the tick did on the transport's start or stop
    // while armed: Playing follows (PlayingChanged is told; a stop silences the output). True on
    // a change.
    bool TakeInTransport();
    // The outside transport's tempo when a timebase master publishes one, else 0.
    double TransportBeatsPerMinute() const;

    // Following a leader's MIDI clock read from `input` (null: not following). While followed,
    // the timer runs armed and the tick takes in the clock messages (TClockFollower): Start plays
    // from step 1 (of the track from its first song line in track mode, of the pattern in pattern
    // mode) on the next pulse, Continue goes on from where the clock stopped or from a song
    // position pointer received since, Stop stops. Each step goes out on its sixth pulse, every
    // message of it stamped with that pulse's arrival (a JACK device, told to hold one period
    // more meanwhile, writes it at the pulse's frame plus two periods), the note-off of the step
    // before first; steps stay locked to the
    // pulses, never to the estimated tempo. No pulse for two beats stops playback (TakeClockLost).
    // The play operations then only choose the mode (the leader starts playback); Stop stops
    // until the leader's next Start or Continue. Takes precedence over the JACK transport; not
    // combined with a grid: whichever of the two is followed holds, the other's call does
    // nothing (the session turns one off before it turns the other on). Clock messages that
    // waited in `input` before are dropped. With "send MIDI clock" on, the leader's clock, Start,
    // Continue, Stop and song position pointer are passed on, stamped as received.
    void FollowClock(TMidiInputSink* input);
    bool FollowsClock() const { return clockInput_ != nullptr; }
    // The leader's tempo as the pulses show it, as a step time in ms (0 until two pulses came,
    // and while no clock is followed). Any thread.
    double ClockStepTimeMs() const { return clockStepTimeMs_.load(std::memory_order_relaxed); }
    // Whether playback stopped for a lost clock since the last call (user-interface thread).
    bool TakeClockLost() { return clockLost_.exchange(false); }

    // Following a beat grid (Ableton Link's session): while one is followed, a beat is four
    // steps and step k of a pass lies at beat k/4 from the pass's first beat, a pass lasting
    // exactly its steps' beats; every message is stamped with the moment of its beat, less the
    // output's delay, and handed over by the tick before that moment: to a device that places
    // messages in time at once, to another one at the moment itself (the tick sleeps until then,
    // less than a tick: the one wait it makes). A start waits for the grid's next bar line; bar
    // lines that move (another session joined, another bar) take the pass along. Events that have
    // passed by more than MaxLateNs (the grid jumped, the start lies in the past) are left out,
    // except note-offs. The JACK transport is not followed meanwhile. Any time; a null grid goes
    // back to the ticks' own count (from the pass's first step). Nothing while a MIDI clock is
    // followed.
    void FollowGrid(TBeatGrid* grid);
    bool FollowsGrid() const { return grid_ != nullptr; }
    // The next start is one the session made at `sessionStartNs` (CLOCK_MONOTONIC): it lies on
    // the first bar line from then on, or, when that moment lies further back than MaxLateNs,
    // from now on.
    void StartWithSession(int64_t sessionStartNs);
    // Takes in how the open device's output is timed (TMidiOut::OutputTiming); done at every
    // start, and by whoever learns that it may have changed (the device, its connections).
    void TakeInDeviceTiming();
    int64_t OutputLatencyNs() const { return outputLatencyNs_.load(std::memory_order_relaxed); }
    static constexpr int64_t MaxLateNs = GridMaxLateNs;
    // How far ahead of now a start of the machine's own lies at least, beside the output delay.
    static constexpr int64_t StartLeadNs = 10000000;

    // The timer then ticks every millisecond (OnTick) instead of sleeping over ticks that only
    // count: the reference for comparisons and benchmarks.
    bool TickEveryPeriod = false;

    // Told on the user-interface thread whenever playback starts or stops, whatever started or
    // stopped it: the windows refresh only while something plays.
    std::function<void(bool playing)> PlayingChanged;

    // Runs `edit` while no tick runs: for changes of the track or of the whole song.
    // Afterwards the track position is brought back into 1..SonglineCount.
    template <typename Edit> void WithTicksPaused(Edit&& edit) {
        PauseTicks();
        edit();
        KeepTrackPositionInTrack();
        ResumeTicks();
    }

private:
    // What one tick sends, in this order: Start, the clock pulses due at its moment, the due
    // timeline events, then the pulses due before the next tick.
    struct TMoment {
        bool Start = false;
        int32_t PulsesMissed = 0, PulsesBefore = 0, PulsesAfter = 0;
        uint32_t First = 0, Second = 0;
    };

    void Tick() noexcept;
    void GridTick() noexcept;
    bool BeginOnGrid() noexcept;
    void KeepPassOnBars() noexcept;
    void SendDueOnGrid(int64_t deadline) noexcept;
    TGridStart StartOnGrid(const std::optional<TGridStart>& sessionStart);
    void WakeTimer();
    bool StartTimer();
    bool SendMoment(const TMoment& moment, int64_t stamp, int64_t passStamp,
                    int32_t stepTime) noexcept;
    TMoment DueAt(int32_t timeline, int32_t n, int32_t length, int32_t ticks,
                  int32_t stepTime) const noexcept;
    bool FollowRoll() noexcept;
    void BeginRoll(const TOutsideTransport* transport) noexcept;
    bool SendStop() noexcept;
    void Arm();
    void Disarm();
    void EndPlaying(bool tellFollowers);
    void EndOfPass() noexcept;
    void ShowEvent(int32_t n) noexcept;
    void PauseTicks();
    void ResumeTicks();
    void KeepTrackPositionInTrack();
    int32_t SonglinePattern(int32_t position) const noexcept;

    // Following a MIDI clock (PlaybackClock.cpp).
    struct TClockStep {
        int32_t Timeline = -1; // none: nothing to play
        int32_t Step = 0;      // 0-based
    };
    void ArmForClock(TMidiInputSink* input);
    void UnfollowClock();
    void StopFollowedClock();
    void ClockTick() noexcept;
    void TakeInClockInput() noexcept;
    void TakeClockMessage(const TMidiMessage& message, int64_t stampNs) noexcept;
    void PlayClockStep(int64_t position, int64_t pulseNs) noexcept;
    TClockStep ClockStepAt(int64_t position) noexcept;
    TClockStep TrackStepAt(int64_t position) noexcept;
    int32_t StepsOfPattern(int32_t pattern) const noexcept;
    void EndClockRoll(int64_t stampNs) noexcept;
    void QueueClockSend(uint32_t message, int64_t stampNs) noexcept;
    void DropQueuedNoteOns() noexcept;
    void SendClockQueue() noexcept;

    TPkSong& song_;
    TMelodies& melodies_;
    TMidiOut& out_;
    TMidiSupport& support_;
    TTempoInfo& tempo_;
    TPlaybackState& state_;
    bool previewWhilePlaying_ = false;

    std::atomic<bool> sendClock_{false};
    bool followTransport_ = false;
    // Set while the timer is stopped; read by the tick.
    TOutsideTransport* transport_ = nullptr;
    // The tick's own (set before the timer starts or while ticks are paused): the moment a tick
    // stands for is the timer's deadline + shiftNs_; the next clock pulse of the pass; a Start
    // or Stop still to send; the transport starts and stops already taken in.
    int64_t shiftNs_ = 0;
    int32_t nextPulse_ = 0;
    bool startPending_ = false;
    bool stopPending_ = false;
    uint32_t seenStarts_ = 0;
    uint32_t seenStops_ = 0;

    // Following a grid. grid_ and gridStart_ are set while the timer is stopped or ticks are
    // paused; nextGridStart_ belongs to the user-interface thread; the rest to the tick.
    TBeatGrid* grid_ = nullptr;
    std::optional<TGridStart> nextGridStart_;
    TGridStart gridStart_;
    bool gridStartPending_ = false;
    TBeatSnapshot gridSeen_; // the last look the tick read
    double passBeat_ = 0;    // the beat the current pass began on
    double barOffset_ = 0;   // the grid's bar lines as the pass follows them
    uint32_t gridIdle_ = 0;  // ticks that can only wait
    std::atomic<int64_t> outputLatencyNs_{0};
    std::atomic<bool> placesInTime_{false};

    // Following a MIDI clock: clockInput_ is set while the timer is stopped; the follower, the
    // note-off still to send and the queue of sends a locked device held back are the tick's
    // own (reset while the timer is stopped); a stop of the user-interface thread is handed to
    // the tick through clockStopRequested_.
    struct TClockSend {
        uint32_t Message = 0;
        int64_t StampNs = 0;
    };
    // Far more than a few ticks' worth of sends; the tick takes in no more messages while the
    // queue could not hold what one of them sends, leaving them in the input.
    static constexpr size_t ClockQueueCapacity = 64;
    TMidiInputSink* clockInput_ = nullptr;
    TClockFollower follower_;
    uint32_t clockNoteOff_ = 0;
    std::array<TClockSend, ClockQueueCapacity> clockQueue_{};
    size_t clockQueued_ = 0;
    std::atomic<bool> clockStopRequested_{false};
    std::atomic<double> clockStepTimeMs_{0};
    std::atomic<bool> clockLost_{false};
};
