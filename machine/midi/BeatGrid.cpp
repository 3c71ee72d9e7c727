#include "BeatGrid.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

constexpr double NsPerSecond = 1e9;
constexpr int ReadTries = 8;

double Modulo(double value, double modulus) noexcept {
    const double rest = std::fmod(value, modulus);
    return rest < 0 ? rest + modulus : rest;
}

uint64_t Word(double value) noexcept {
    return std::bit_cast<uint64_t>(value);
}

double Real(uint64_t word) noexcept {
    return std::bit_cast<double>(word);
}

} // namespace

double TBeatSnapshot::BeatAt(int64_t ns) const noexcept {
    return OriginBeat + static_cast<double>(ns - OriginNs) / NsPerBeat;
}

int64_t TBeatSnapshot::TimeAt(double beat) const noexcept {
    return OriginNs + static_cast<int64_t>(std::llround((beat - OriginBeat) * NsPerBeat));
}

double TBeatSnapshot::NextBar(double beat) const noexcept {
    return BarOffset + std::ceil((beat - BarOffset) / Quantum) * Quantum;
}

TBeatSnapshot NextSnapshot(const TBeatSnapshot& before, const TSessionSample& sample) noexcept {
    TBeatSnapshot next;
    next.Commits = sample.Commits;
    next.Bpm = sample.Bpm;
    next.Quantum = sample.Quantum > 0 ? sample.Quantum : 4;
    next.Playing = sample.Playing;
    next.PlayingNs = sample.PlayingNs;
    next.OriginNs = sample.Ns;
    const double beatsPerSecond = sample.BeatLater - sample.Beat;
    if (sample.Bpm >= GridMinBpm && sample.Bpm <= GridMaxBpm && beatsPerSecond > 0) {
        next.OriginBeat = sample.Beat;
        next.NsPerBeat = NsPerSecond / beatsPerSecond;
        next.BarOffset = Modulo(sample.Beat - sample.BarPhase, next.Quantum);
        return next;
    }
    next.NsPerBeat = 60 * NsPerSecond / std::clamp(sample.Bpm, GridMinBpm, GridMaxBpm);
    next.OriginBeat = before.Valid() ? before.BeatAt(sample.Ns) : sample.Beat;
    next.BarOffset = before.Valid() ? Modulo(before.BarOffset, next.Quantum)
                                    : Modulo(sample.Beat - sample.BarPhase, next.Quantum);
    return next;
}

// A word read after the opening sequence number and found with the same closing one belongs to
// the look that number stands for: a word of a later look would have been written after the
// sequence number turned odd (release order of the word), which the closing read then sees.
bool TBeatGrid::Read(TBeatSnapshot& snapshot) const noexcept {
    for (int attempt = 0; attempt < ReadTries; ++attempt) {
        const uint64_t opening = sequence_.load(std::memory_order_acquire);
        if (opening == 0)
            return false;
        if (opening % 2 != 0)
            continue;
        std::array<uint64_t, Words> w{};
        for (std::size_t i = 0; i < Words; ++i)
            w[i] = words_[i].load(std::memory_order_acquire);
        if (sequence_.load(std::memory_order_relaxed) != opening)
            continue;
        snapshot.Commits = w[0];
        snapshot.Bpm = Real(w[1]);
        snapshot.OriginBeat = Real(w[2]);
        snapshot.OriginNs = static_cast<int64_t>(w[3]);
        snapshot.NsPerBeat = Real(w[4]);
        snapshot.BarOffset = Real(w[5]);
        snapshot.Quantum = Real(w[6]);
        snapshot.Playing = w[7] != 0;
        snapshot.PlayingNs = static_cast<int64_t>(w[8]);
        return true;
    }
    return false;
}

void TBeatGrid::Publish(const TBeatSnapshot& snapshot) noexcept {
    const std::array<uint64_t, Words> w = {snapshot.Commits,
                                           Word(snapshot.Bpm),
                                           Word(snapshot.OriginBeat),
                                           static_cast<uint64_t>(snapshot.OriginNs),
                                           Word(snapshot.NsPerBeat),
                                           Word(snapshot.BarOffset),
                                           Word(snapshot.Quantum),
                                           snapshot.Playing ? 1u : 0u,
                                           static_cast<uint64_t>(snapshot.PlayingNs)};
    const uint64_t sequence = sequence_.load(std::memory_order_relaxed);
    sequence_.store(sequence + 1, std::memory_order_relaxed);
    for (std::size_t i = 0; i < Words; ++i)
        words_[i].store(w[i], std::memory_order_release);
    sequence_.store(sequence + 2, std::memory_order_release);
}
