#pragma once

// A leader's MIDI clock for a machine on a JACK server of the test's own: the machine (its JACK
// device and its midi_in, following the clock), a client that sends the leader's messages at
// chosen frames into midi_in and a client that records midi_out. For the tests and the clock
// benchmark.

#include "JackTestRig.h"
#include "SessionSongs.h"
#include "TempDir.h"
#include "midi/MidiPortSystem.h"
#include "session/MachineSession.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace clockrig {

// 100 BPM at 48 kHz: 24 pulses a beat, six a step.
inline constexpr uint64_t PulseFrames = 1200;

inline bool IsNoteOn(const jacktest::Event& e) {
    return (e.Bytes[0] & 0xF0) == 0x90 && e.Length == 3 && e.Bytes[2] != 0;
}

inline std::vector<jacktest::Event> NoteOns(const std::vector<jacktest::Event>& events) {
    std::vector<jacktest::Event> ons;
    std::copy_if(events.begin(), events.end(), std::back_inserter(ons), IsNoteOn);
    return ons;
}

// One pattern of 16 steps whose keys rise by one a step, played by a machine named `name` on its
// JACK device; its output is recorded, its midi_in hears the sender.
class Rig {
public:
    explicit Rig(const std::string& name = "PKF")
        : session_(std::make_unique<TMachineSession>(Port(name))), recorder_("recorder"),
          sender_("leader") {
        TPkSong song = PatternsAndTrack(1, {1});
        for (int32_t s = 1; s <= song.Steps; ++s)
            song.Notes[1][s] = s;
        ready_ = LoadSong(*session_, song, dir_) && recorder_.Ready() && sender_.Ready() &&
                 session_->DeviceNames().back() == JackDeviceName &&
                 session_->SetDevice(session_->DeviceCount() - 1) == MidiResult::Ok &&
                 session_->SetMidiInput({TMidiInputChoice::TKind::Jack, 0}) == MidiResult::Ok &&
                 recorder_.Connect(name + ":midi_out") && sender_.Connect(name + ":midi_in");
    }

    bool Ready() const { return ready_; }
    TMachineSession& Session() { return *session_; }
    jacktest::Recorder& Recorder() { return recorder_; }
    jacktest::Sender& Sender() { return sender_; }

    // The follower's poll, as the event loop runs it.
    void Poll() {
        session_->FollowPlayback();
        if (session_->WatchesOutput())
            session_->TakeInOutput();
    }
    // Polls until `done` (at most `seconds`).
    template <typename Done> bool PollUntil(Done done, double seconds = 10) {
        return jacktest::Recorder::WaitFor(
            [&] {
                Poll();
                return done();
            },
            seconds);
    }

    // Queues `count` pulses PulseFrames (plus `jitter(k)`) apart from frame `first`; returns the
    // frame after the last one.
    template <typename Jitter> uint64_t Pulses(uint64_t first, int count, Jitter jitter) {
        for (int k = 0; k < count; ++k)
            sender_.Send(first + k * PulseFrames + jitter(k), {0xF8});
        return first + count * PulseFrames;
    }
    uint64_t Pulses(uint64_t first, int count) {
        return Pulses(first, count, [](int) { return 0; });
    }

private:
    static std::unique_ptr<TMidiPort> Port(const std::string& name) {
        TSystemMidiOptions options;
        options.LogPath = "/dev/null"; // the song's Midi Mapper opens no synthesizer
        options.Jack.ClientName = name;
        return std::make_unique<TSystemMidiPort>(options);
    }

    TempDir dir_;
    std::unique_ptr<TMachineSession> session_;
    jacktest::Recorder recorder_;
    jacktest::Sender sender_;
    bool ready_ = false;
};

} // namespace clockrig
