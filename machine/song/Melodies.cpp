#include "Melodies.h"

#include "MidiVoice.h"

#include <algorithm>

namespace {

constexpr int MaxReadAttempts = 8;

bool InRange(int32_t x) {
    return x >= 0 && x < MaxPatterns;
}

} // namespace

TMelodies::TMelodies() : slots_(MaxPatterns) {}

int32_t TMelodies::EventCount(int32_t x) const {
    if (!InRange(x))
        return 0;
    const Slot& slot = slots_[x];
    return slot.copies[slot.published.load(std::memory_order_acquire)].length.load(
        std::memory_order_acquire);
}

TMelodyEvent TMelodies::Event(int32_t x, int32_t e) const {
    if (!InRange(x) || e < 0 || e >= MaxMelodyEvents)
        return {};
    const Slot& slot = slots_[x];
    TMelodyEvent event;
    // A sequence lock over atomics: sequentially consistent loads keep the data reads between
    // the two sequence reads without fences.
    for (int attempt = 0; attempt < MaxReadAttempts; ++attempt) {
        const Copy& copy = slot.copies[slot.published.load()];
        const uint32_t before = copy.sequence.load();
        event.Message = copy.message[e].load();
        event.Time = copy.time[e].load();
        if (before % 2 == 0 && copy.sequence.load() == before)
            break;
    }
    return event;
}

void TMelodies::Resize(int32_t count) {
    count = std::clamp(count, 0, MaxPatterns);
    for (int32_t x = Count(); x < count; ++x)
        Publish(x, {});
    count_.store(count, std::memory_order_release);
}

void TMelodies::Publish(int32_t x, std::span<const TMelodyEvent> events) {
    if (!InRange(x))
        return;
    Slot& slot = slots_[x];
    const uint8_t hidden = 1 - slot.published.load(std::memory_order_relaxed);
    Copy& copy = slot.copies[hidden];
    const int32_t length = static_cast<int32_t>(std::min<size_t>(events.size(), MaxMelodyEvents));
    const uint32_t sequence = copy.sequence.load();
    copy.sequence.store(sequence + 1);
    for (int32_t e = 0; e < MaxMelodyEvents; ++e) {
        const TMelodyEvent event = e < length ? events[e] : TMelodyEvent{};
        copy.message[e].store(event.Message);
        copy.time[e].store(event.Time);
    }
    copy.length.store(length);
    copy.sequence.store(sequence + 2);
    slot.published.store(hidden);
    if (Published)
        Published();
}

std::vector<TMelodyEvent> TMelodies::Timeline(int32_t x) const {
    std::vector<TMelodyEvent> events(static_cast<size_t>(EventCount(x)));
    for (size_t e = 0; e < events.size(); ++e)
        events[e] = Event(x, static_cast<int32_t>(e));
    return events;
}

void BuildMelody(const TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p) {
    const int32_t noteOn = 0x90 + voice.OutChannel;
    const int32_t noteOff = 0x80 + voice.OutChannel;
    auto message = [&](int32_t note, int32_t status, int32_t velocity) -> uint32_t {
        return note == 0 ? 0 : voice.BuildMessage(note, status, velocity);
    };
    std::array<TMelodyEvent, MaxMelodyEvents> events{};
    const int32_t steps = std::min<int32_t>(song.Steps, MaxSteps);
    uint32_t time = 0;
    int32_t k = 0;
    int32_t held = 0;
    for (int32_t i = 1; i <= steps; ++i) {
        const int32_t note = song.Notes[p][i];
        const int32_t velocity = note != 0 ? song.Velocities[p][i] : 0;
        const uint32_t end = time + static_cast<uint32_t>(song.StepTime);
        switch (song.Gates[p][i]) {
        case gtSingle:
            events[k] = {message(note, noteOn, velocity), time};
            events[k + 1] = {message(note, noteOff, velocity), end};
            held = note;
            break;
        case gtStart:
            events[k] = {message(note, noteOn, velocity), time};
            events[k + 1] = {0, end};
            held = note;
            break;
        case gtHold:
            events[k] = {0, time};
            events[k + 1] = {0, end};
            break;
        case gtEnd:
            events[k] = {0, time};
            events[k + 1] = {note != 0 ? message(held, noteOff, velocity) : 0, end};
            break;
        default: // no such gate is ever stored: the step adds nothing
            continue;
        }
        time = end;
        k += 2;
    }
    melodies.Publish(p - 1, std::span(events).first(static_cast<size_t>(2 * steps)));
}

void BuildAllMelodies(const TPkSong& song, TMelodies& melodies, const TMidiVoice& voice) {
    melodies.Resize(song.PatternCount);
    for (int32_t p = 1; p <= song.PatternCount; ++p)
        BuildMelody(song, melodies, voice, p);
}

void RescaleMelody(TMelodies& melodies, int32_t x, int32_t stepTime) {
    std::vector<TMelodyEvent> events = melodies.Timeline(x);
    const size_t count = events.size();
    for (size_t e = 1; e < count; e += 2) {
        const uint32_t time = static_cast<uint32_t>((e + 1) / 2 * stepTime);
        events[e].Time = time;
        if (e + 1 < count)
            events[e + 1].Time = time;
    }
    melodies.Publish(x, events);
}

void SetStepTime(TPkSong& song, TMelodies& melodies, int32_t stepTime) {
    for (int32_t x = 0; x < song.PatternCount; ++x)
        RescaleMelody(melodies, x, stepTime);
    song.StepTime = stepTime;
}
