// A machine hears MIDI on its JACK midi_in from a client of the test: a leader's frame-exact
// clock with Start, Stop and Continue after a song position pointer, and a performer's notes and
// controllers. A second client records what the machine plays.

#include "ClockLeaderRig.h"
#include "JackServerTest.h"
#include "TempoBar.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace {

using clockrig::NoteOns;
using clockrig::PulseFrames;
using clockrig::Rig;
using jacktest::Event;

constexpr uint64_t Period = jacktest::Server::Period;

class MidiInJack : public OwnJackServerTest {
protected:
    void SetUp() override {
        OwnJackServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        rig = std::make_unique<Rig>();
        ASSERT_TRUE(rig->Ready());
    }

    // Sends `bytes` until `done`, again every second: a cycle a slowed server skips loses what
    // was written in it.
    template <typename Done> bool Perform(std::initializer_list<uint8_t> bytes, Done done) {
        for (int i = 0; i < 10; ++i) {
            rig->Sender().Send(rig->Sender().Soon(), bytes);
            if (rig->PollUntil(done, 1.0))
                return true;
        }
        return false;
    }

    std::unique_ptr<Rig> rig;
};

} // namespace

// Start plays step 1 on the next pulse and every step lies on its sixth pulse plus one constant
// delay of at most two periods; Stop stops; Continue after a pointer to step 9 plays step 9 on
// its first pulse; a clock that ends is told and stops playback.
TEST_F(MidiInJack, FollowsTheLeadersClockOnItsSixthPulses) {
    TMachineSession& session = rig->Session();
    session.SetFollowClock(true);
    jacktest::Sender& leader = rig->Sender();
    const uint64_t start = leader.Soon(16);
    leader.Send(start, {0xFA});
    const uint64_t stopped = rig->Pulses(start + PulseFrames / 2, 6 * 20); // 16 steps and 4
    leader.Send(stopped - PulseFrames / 2, {0xFC});
    const uint64_t resumed = stopped + 24 * PulseFrames; // a beat later
    leader.Send(resumed - PulseFrames / 2, {0xF2, 8, 0});
    leader.Send(resumed - PulseFrames / 4, {0xFB});
    rig->Pulses(resumed, 6 * 3);
    const bool arrived =
        rig->PollUntil([&] { return NoteOns(rig->Recorder().Events()).size() >= 23; });
    if (!jacktest::FramesExact && !arrived)
        GTEST_SKIP() << "a cycle the slowed server skipped lost a message (the threads' sharing "
                        "of data was checked all the same)";
    ASSERT_TRUE(arrived);
    EXPECT_TRUE(rig->PollUntil([&] { return !session.MidiInputNotice().Empty(); }))
        << "the clock that ended is told";
    EXPECT_FALSE(session.Playing());

    const std::vector<Event> ons = NoteOns(rig->Recorder().Events());
    const std::vector<jacktest::Sender::Written> sent = leader.Sent();
    ASSERT_EQ(ons.size(), 23u) << "nothing plays between the stop and the continue";
    ASSERT_EQ(sent.size(), 142u);
    const auto pulseOf = [&](size_t on) { // the sixth pulse each note-on belongs to
        return on < 20 ? sent[1 + 6 * on].Frame : sent[124 + 6 * (on - 20)].Frame;
    };
    const uint8_t first = ons[0].Bytes[1];
    // Exact to the frame: every note-on but one lies the same number of frames after its pulse,
    // leaving out those within two periods of an xrun (the server skipped a cycle).
    const std::vector<uint64_t> xruns = rig->Recorder().Xruns();
    std::map<int64_t, int> delays;
    int considered = 0;
    for (size_t i = 0; i < ons.size(); ++i) {
        const size_t step = i < 20 ? i % 16 : 8 + (i - 20);
        EXPECT_EQ(ons[i].Bytes[1], first + step) << "note-on " << i;
        if (!jacktest::NearXrun(xruns, pulseOf(i), ons[i].Frame)) {
            ++delays[static_cast<int64_t>(ons[i].Frame - pulseOf(i))];
            ++considered;
        }
    }
    if (jacktest::FramesExact && considered > 0) {
        const auto [delay, exact] = *std::max_element(
            delays.begin(), delays.end(), [](auto& a, auto& b) { return a.second < b.second; });
        EXPECT_GE(exact, considered - 1) << "exact to the frame";
        EXPECT_GT(delay, 0);
        EXPECT_LE(delay, static_cast<int64_t>(2 * Period));
    }
}

// Not following a clock: a learned note starts playback, a controller mapped to tempo moves the
// step time and the playback with it, and a note on the keyboard channel transposes from the
// next step.
TEST_F(MidiInJack, APerformerPlaysTheMachine) {
    TMachineSession& session = rig->Session();
    TempDir dir;
    session.LoadMidiControl(dir.File("control.txt"));
    session.AssignMidiControl(TMidiControlOperation::Tempo,
                              TMidiAssignment{TMidiControlSource::Controller, 1, 74});
    session.SetKeyboardChannel(2);
    session.LearnMidiControl(TMidiControlOperation::PlayPattern);
    ASSERT_TRUE(Perform({0x99, 36, 100}, [&] { return !session.Learning(); }));
    EXPECT_EQ(session.MidiControl()[static_cast<int>(TMidiControlOperation::PlayPattern)],
              (TMidiAssignment{TMidiControlSource::Note, 10, 36}));
    EXPECT_FALSE(session.Playing()) << "a learned message only teaches";

    ASSERT_TRUE(Perform({0x99, 36, 100}, [&] { return session.Playing(); }));
    ASSERT_TRUE(
        Perform({0xB0, 74, 127}, [&] { return session.Song().StepTime == TempoBar::MinStepTime; }));
    const size_t fast = NoteOns(rig->Recorder().Events()).size();
    ASSERT_TRUE(Perform({0x91, 63, 100}, [&] { return session.Transposition() == 3; }));
    const size_t transposed = NoteOns(rig->Recorder().Events()).size();
    ASSERT_TRUE(
        rig->PollUntil([&] { return NoteOns(rig->Recorder().Events()).size() >= transposed + 4; }));
    session.Stop();

    const std::vector<Event> ons = NoteOns(rig->Recorder().Events());
    const uint8_t first = ons[0].Bytes[1];
    for (size_t i = 0; i < ons.size(); ++i) {
        if (i != transposed) { // the one that went out as the note came may be either
            EXPECT_EQ(ons[i].Bytes[1], first + (i % 16) + (i > transposed ? 3 : 0))
                << "note-on " << i;
        }
    }
    const uint64_t stepFrames = TempoBar::MinStepTime * 48;
    const std::vector<uint64_t> xruns = rig->Recorder().Xruns();
    for (size_t i = fast + 2; i < ons.size(); ++i) {
        if (jacktest::FramesExact && (i % 16) != 0 && // a pass ends one tick later
            !jacktest::NearXrun(xruns, ons[i - 1].Frame, ons[i].Frame)) {
            // The machine's own steps are stamped on its millisecond ticks and placed by JACK's
            // estimate of the cycles' times, which wavers by tens of microseconds under load.
            EXPECT_NEAR(static_cast<double>(ons[i].Frame - ons[i - 1].Frame), stepFrames, 8)
                << "note-on " << i;
        }
    }
}
