#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The arithmetic of following a leader's MIDI clock: which step falls on which pulse, the tempo
// the pulses show, and when the clock counts as lost. Pure: the caller hands in every event
// with its time (CLOCK_MONOTONIC, nanoseconds) and asks; no threads, no allocation.
//
// Positions count sixteenth notes (steps) from the start of the song, 0 being the first step;
// a step falls on every sixth pulse (24 pulses to the beat), so the steps stay locked to the
// leader's pulses, never to the estimated tempo.
class TClockFollower {
public:
    static constexpr int PulsesPerStep = 6;
    static constexpr int PulsesPerBeat = 24;
    // The pulses the tempo is estimated over, at most: two beats.
    static constexpr int TempoWindow = 2 * PulsesPerBeat;
    // Before the pulses give an interval, the clock counts as lost after this long.
    static constexpr int64_t FallbackTimeoutNs = 2'000'000'000;

    enum class TState {
        Stopped, // pulses move nothing until Start or Continue
        Waiting, // Start or Continue came: the next pulse goes on
        Running
    };
    enum class TStopReason { None, StopMessage, ClockLost };

    // A step that falls on a pulse: its position and the pulse's time.
    struct TDueStep {
        int64_t Position = 0;
        int64_t PulseNs = 0;
        bool operator==(const TDueStep&) const = default;
    };

    // F8: the step that falls on this pulse, if one does (only while following).
    std::optional<TDueStep> Pulse(int64_t nowNs);
    // FA: the next pulse plays the first step.
    void Start(int64_t nowNs);
    // FC.
    void Stop();
    // FB: the next pulse goes on from where the clock stopped or from the position a Song
    // Position Pointer set since; ignored while running.
    void Continue(int64_t nowNs);
    // F2 with its 14-bit value (sixteenth notes): the position to go on from.
    void SongPosition(int32_t sixteenths);
    // True (once) when no pulse has come for two beats at the estimated tempo (or for
    // FallbackTimeoutNs before there is an estimate) while following: then it is stopped, the
    // reason ClockLost, and pulses again wait for Start or Continue.
    bool CheckClockLost(int64_t nowNs);

    TState State() const { return state_; }
    TStopReason StopReason() const { return stopReason_; }
    // The position the next step would have (where Continue goes on).
    int64_t NextPosition() const;

    // The interval between pulses the last pulses show (a least-squares fit over at most
    // TempoWindow of them), once two pulses came; nothing before.
    std::optional<double> PulseIntervalNs() const;
    std::optional<double> BeatsPerMinute() const;
    // The step time (ms) the estimated tempo gives, as the tempo bar counts it.
    std::optional<double> StepTimeMs() const;

private:
    void Follow(int64_t nowNs);
    void RecordPulse(int64_t nowNs);
    int64_t TimeoutNs() const;

    TState state_ = TState::Stopped;
    TStopReason stopReason_ = TStopReason::None;
    int64_t pulseIndex_ = 0;    // pulses since the start of the song the next pulse stands for
    int64_t followSinceNs_ = 0; // when Start or Continue came

    std::array<int64_t, TempoWindow> pulseTimes_{}; // a ring of the latest pulse times
    int pulseCount_ = 0;                            // how many of them are kept
    int newest_ = -1;                               // where the latest one is
};
