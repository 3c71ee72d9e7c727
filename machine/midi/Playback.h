#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

struct TPkSong;
struct TTempoInfo;
struct TMidiSupport;
class TMelodies;
class TMidiOut;

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
// never blocks, locks a mutex, allocates or logs.
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
    void Tick() noexcept;
    void WakeTimer();
    bool SendDue(int32_t timeline, int32_t n, int32_t length) noexcept;
    void EndOfPass() noexcept;
    void ShowEvent(int32_t n) noexcept;
    void PauseTicks();
    void ResumeTicks();
    void KeepTrackPositionInTrack();
    int32_t SonglinePattern(int32_t position) const noexcept;

    TPkSong& song_;
    TMelodies& melodies_;
    TMidiOut& out_;
    TMidiSupport& support_;
    TTempoInfo& tempo_;
    TPlaybackState& state_;
    bool previewWhilePlaying_ = false;
};
