#pragma once

#include "SongModel.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

struct TMidiVoice;

// One event of a pattern's timeline: a packed MIDI short message (0 = send nothing) and its
// time in milliseconds from the pattern start.
struct TMelodyEvent {
    uint32_t Message = 0;
    uint32_t Time = 0;
    bool operator==(const TMelodyEvent&) const = default;
};

constexpr int32_t MaxMelodyEvents = 2 * MaxSteps;

// The timelines of all patterns ("Melodies"): timeline x belongs to pattern x + 1.
//
// Threading contract:
// - One writer: only the user-interface thread calls Resize, Publish, Rescale and Timeline.
// - Any number of readers on other threads (the playback tick) call Count, EventCount and Event.
//   They never block, lock, allocate or see a half-written timeline: storage is fixed (255
//   timelines of at most 32 events, so growth of the pool moves nothing), every timeline is
//   double-buffered, and a writer fills the hidden copy aside and then publishes it with one
//   atomic store. A reader whose copy was rewritten while it read (two publications within
//   one read) notices it through the copy's sequence number and reads again.
class TMelodies {
public:
    TMelodies();

    // Readers, lock-free.
    int32_t Count() const { return count_.load(std::memory_order_acquire); }
    int32_t EventCount(int32_t x) const;
    TMelodyEvent Event(int32_t x, int32_t e) const;

    // Writer (user-interface thread).
    void Resize(int32_t count); // new timelines are empty; shrinking keeps storage
    void Publish(int32_t x, std::span<const TMelodyEvent> events);
    // Runs after every Publish (on the writer's thread): playback that sleeps until its next
    // event learns that the event may have moved.
    std::function<void()> Published;
    std::vector<TMelodyEvent> Timeline(int32_t x) const;

private:
    struct Copy {
        std::atomic<uint32_t> sequence{0}; // odd while being written
        std::atomic<int32_t> length{0};
        std::array<std::atomic<uint32_t>, MaxMelodyEvents> message{};
        std::array<std::atomic<uint32_t>, MaxMelodyEvents> time{};
    };
    struct Slot {
        std::atomic<uint8_t> published{0};
        std::array<Copy, 2> copies;
    };

    std::vector<Slot> slots_; // MaxPatterns entries, allocated once
    std::atomic<int32_t> count_{0};
};

// Rebuilds the timeline of pattern p (1-based) from its steps, with the output's channel and
// transposition baked into the messages.
void BuildMelody(const TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p);

// Sizes the timelines to the pattern count and rebuilds every one.
void BuildAllMelodies(const TPkSong& song, TMelodies& melodies, const TMidiVoice& voice);

// Rewrites only the times of timeline x for a step length of stepTime ms. Playback that runs on
// must then re-read the time of its next event (TPlaybackState::Resync).
void RescaleMelody(TMelodies& melodies, int32_t x, int32_t stepTime);

// Rescales every timeline and stores the step time in the song.
void SetStepTime(TPkSong& song, TMelodies& melodies, int32_t stepTime);
