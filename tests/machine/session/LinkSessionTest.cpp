// Machines in an Ableton Link session, on a network of the test's own (a network namespace with
// only the loopback): peers, tempo both ways, starts and stops with start/stop sync, steps on
// the session's beat grid through a tempo change, a session tempo outside the tempo bar's range,
// no network at all and a network that goes and comes back. A bare Link peer of the test stands
// for another program in the session. The machines play in real time; their recording port
// keeps each note's stamp (CLOCK_MONOTONIC), which the test compares with the session's grid.

#include "PrivateNetwork.h"
#include "link/LinkPeer.h"
#include "midi/MidiPortRecording.h"
#include "midi/MonotonicClock.h"
#include "session/MachineSession.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int64_t Ms = 1000000;

struct Machine {
    Machine() : session(Port()) {
        session.Listen([this](TChanges changes) { changed |= changes; });
    }
    std::unique_ptr<TMidiPort> Port() {
        auto recording = std::make_unique<TRecordingMidiPort>(std::vector<std::string>{"Synth"},
                                                              size_t{1} << 16);
        port = recording.get();
        return recording;
    }
    // The follower's poll, as the event loop runs it.
    void Poll() {
        session.FollowPlayback();
        if (session.WatchesOutput())
            session.TakeInOutput();
    }
    // The stamps of the note-ons sent so far.
    std::vector<int64_t> NoteOns() const {
        std::vector<int64_t> dues;
        for (size_t c = 0; c < port->Size(); ++c)
            if (port->Call(c).What == TMidiCall::Kind::Short &&
                (port->Call(c).Value & 0xF0) == 0x90)
                dues.push_back(port->Due(c));
        return dues;
    }

    TRecordingMidiPort* port = nullptr;
    TMachineSession session;
    TChanges changed = 0;
};

int64_t Now() {
    return ClockNs(CLOCK_MONOTONIC);
}

class LinkSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!net.Failure().empty())
            GTEST_SKIP() << net.Failure();
    }

    // Polls the machines every 5 ms until `done` or the time is up.
    template <typename Done>
    bool Until(std::initializer_list<Machine*> machines, Done done,
               std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(5ms);
            for (Machine* machine : machines)
                machine->Poll();
        }
        return true;
    }

    void Peers(std::initializer_list<Machine*> machines, int32_t others) {
        ASSERT_TRUE(Until(
            machines,
            [&] {
                return std::all_of(machines.begin(), machines.end(),
                                   [&](Machine* m) { return m->session.LinkPeers() == others; });
            },
            10s))
            << "peers found";
    }

    TPrivateNetwork net;
};

// How far `ns` lies from the nearest step of `grid` (four steps to the beat), in ns.
double OffStep(const TBeatSnapshot& grid, int64_t ns) {
    const double steps = grid.BeatAt(ns) * 4;
    return std::abs(steps - std::round(steps)) * grid.NsPerBeat / 4;
}

} // namespace

TEST_F(LinkSession, TwoMachinesArePeersAndTheirTempoChangesReachEachOther) {
    Machine a, b;
    a.session.SetLink(true);
    b.session.SetLink(true);
    Peers({&a, &b}, 1);
    EXPECT_NE(a.changed & chLink, 0u);

    a.session.SetStepTime(100); // the tempo bar's, SETSPEED's and the controller's operation
    EXPECT_TRUE(Until(
        {&a, &b}, [&] { return b.session.Song().StepTime == 100; }, 300ms))
        << "within 0.3 s";
    b.session.SetStepTime(137);
    EXPECT_TRUE(Until(
        {&a, &b}, [&] { return a.session.Song().StepTime == 137; }, 300ms));
    std::this_thread::sleep_for(50ms);
    a.Poll();
    b.Poll();
    EXPECT_EQ(a.session.Song().StepTime, 137);
    EXPECT_EQ(b.session.Song().StepTime, 137) << "no older look turns it back";
    EXPECT_TRUE(a.session.LinkNotice().Empty());

    a.session.SetLink(false);
    EXPECT_EQ(a.session.LinkPeers(), 0);
    EXPECT_TRUE(Until(
        {&b}, [&] { return b.session.LinkPeers() == 0; }, 10s));
}

TEST_F(LinkSession, StartsAndStopsGoBothWaysWithStartStopSyncOnly) {
    Machine a, b, apart;
    apart.session.SetLinkStartStop(false);
    for (Machine* m : {&a, &b, &apart})
        m->session.SetLink(true);
    Peers({&a, &b, &apart}, 2);

    a.session.PlayPattern();
    ASSERT_TRUE(Until(
        {&a, &b, &apart}, [&] { return b.session.Playing(); }, 2s));
    ASSERT_TRUE(Until(
        {&a, &b, &apart}, [&] { return b.NoteOns().size() >= 6; }, 10s));
    EXPECT_FALSE(apart.session.Playing()) << "without start/stop sync";
    const std::vector<int64_t> ons = a.NoteOns();
    for (int64_t on : b.NoteOns())
        EXPECT_TRUE(std::any_of(ons.begin(), ons.end(),
                                [&](int64_t mine) { return std::abs(mine - on) < Ms / 10; }))
            << "b's steps are a's steps: " << on;

    b.session.Stop();
    EXPECT_TRUE(Until(
        {&a, &b, &apart}, [&] { return !a.session.Playing(); }, 2s));
    apart.session.PlayPattern();
    std::this_thread::sleep_for(200ms);
    a.Poll();
    EXPECT_FALSE(a.session.Playing()) << "a start without start/stop sync stays its own";
}

// A start in a session that has just started (or is about to) is that start, whatever lead it
// asks for: machines started together begin on one bar line, also when a bar line falls
// between their starts.
TEST_F(LinkSession, AStartJustAfterTheSessionsStartIsThatStart) {
    TLinkPeer first(120, 4, true), second(120, 4, true);
    ASSERT_TRUE(Until(
        {}, [&] { return first.Peers() == 1 && second.Peers() == 1; }, 10s));
    const TGridStart started = first.RequestStart(1000 * Ms);
    ASSERT_TRUE(Until(
        {},
        [&] {
            TBeatSnapshot session;
            return second.Read(session) && session.Playing;
        },
        1s));
    const TGridStart joined = second.RequestStart(3000 * Ms);
    EXPECT_NEAR(joined.AfterNs, started.AfterNs, 0.1 * Ms);
}

TEST_F(LinkSession, StepsLieOnTheSessionGridFromABarLineAndFollowATempoChange) {
    TLinkPeer other(150, 4, false); // another program in the session
    Machine a, b;
    a.session.SetLink(true);
    b.session.SetLink(true);
    Peers({&a, &b}, 2);
    other.SetTempo(150);
    ASSERT_TRUE(Until(
        {&a, &b}, [&] { return b.session.Song().StepTime == 100; }, 1s));

    a.session.PlayPattern();
    b.session.PlayPattern();
    ASSERT_TRUE(Until(
        {&a, &b}, [&] { return a.NoteOns().size() >= 20; }, 10s));
    TBeatSnapshot at150;
    ASSERT_TRUE(other.Read(at150));
    other.SetTempo(120);
    const int64_t changed = Now();
    ASSERT_TRUE(Until(
        {&a, &b}, [&] { return a.NoteOns().size() >= 40; }, 10s));
    TBeatSnapshot at120;
    ASSERT_TRUE(other.Read(at120));
    EXPECT_NEAR(at120.NsPerBeat, 500.0 * Ms, 0.01 * Ms);

    for (Machine* m : {&a, &b}) {
        const std::vector<int64_t> ons = m->NoteOns();
        const double firstBeat = at150.BeatAt(ons.front());
        EXPECT_NEAR(firstBeat - at150.NextBar(firstBeat - 0.5), 0, 1e-3) << "step 1 on a bar";
        for (int64_t on : ons) {
            if (on < changed - 50 * Ms) {
                EXPECT_LT(OffStep(at150, on), 0.2 * Ms) << "at 150 BPM: " << on;
            } else if (on > changed + 500 * Ms) { // one beat at 120 BPM
                EXPECT_LT(OffStep(at120, on), 0.2 * Ms) << "at 120 BPM: " << on;
            }
        }
    }
    EXPECT_EQ(a.session.Song().StepTime, 125);
}

TEST_F(LinkSession, ASessionTempoOutsideTheRangeIsPlayedAtItsNearestEndAndSaidSo) {
    TLinkPeer other(120, 4, false);
    Machine a;
    a.session.SetLink(true);
    Peers({&a}, 1);
    other.SetTempo(600);
    ASSERT_TRUE(Until(
        {&a}, [&] { return !a.session.LinkNotice().Empty(); }, 1s));
    EXPECT_EQ(a.session.LinkNotice(),
              Message(TMessageKind::LinkTempoOutside, {Plain("600.0"), Plain("500.0")}));
    EXPECT_EQ(a.session.Song().StepTime, 30);
    a.session.PlayPattern();
    ASSERT_TRUE(Until(
        {&a}, [&] { return a.NoteOns().size() >= 6; }, 5s));
    const std::vector<int64_t> ons = a.NoteOns();
    for (size_t k = 1; k < ons.size(); ++k)
        EXPECT_NEAR(ons[k] - ons[k - 1], 30 * Ms, 0.01 * Ms) << "500 BPM, not 600";

    a.changed = 0;
    other.SetTempo(125);
    ASSERT_TRUE(Until(
        {&a}, [&] { return a.session.LinkNotice().Empty(); }, 1s));
    EXPECT_NE(a.changed & chLink, 0u);
    EXPECT_EQ(a.session.Song().StepTime, 120);

    // The session's tempo changes are one undo step; undone, the machine's tempo goes out.
    EXPECT_EQ(a.session.History().StepCount(), 1u);
    a.session.Undo();
    EXPECT_EQ(a.session.Song().StepTime, 200);
    EXPECT_TRUE(Until(
        {&a},
        [&] {
            TBeatSnapshot session;
            return other.Read(session) && std::abs(session.Bpm - 75) < 1e-6;
        },
        1s));
}

TEST(LinkWithoutNetwork, AMachinePlaysAloneAndWithoutComplaint) {
    TPrivateNetwork none(false);
    if (!none.Failure().empty())
        GTEST_SKIP() << none.Failure();
    Machine a;
    a.session.SetLink(true);
    a.session.PlayPattern();
    EXPECT_TRUE(a.session.Playing());
    EXPECT_EQ(a.changed & chStartFailed, 0u);
    const auto start = std::chrono::steady_clock::now();
    while (a.NoteOns().size() < 4 && std::chrono::steady_clock::now() - start < 5s) {
        std::this_thread::sleep_for(10ms);
        a.Poll();
    }
    EXPECT_GE(a.NoteOns().size(), 4u);
    EXPECT_EQ(a.session.LinkPeers(), 0);
    EXPECT_TRUE(a.session.LinkNotice().Empty());
}

TEST_F(LinkSession, ANetworkThatGoesAndComesBackOnlyChangesThePeers) {
    Machine a, b;
    a.session.SetLink(true);
    b.session.SetLink(true);
    Peers({&a, &b}, 1);
    a.session.PlayPattern();
    ASSERT_TRUE(Until(
        {&a, &b}, [&] { return b.session.Playing(); }, 2s));

    net.SetLoopback(false);
    Peers({&a, &b}, 0);
    const size_t played = a.NoteOns().size();
    ASSERT_TRUE(Until(
        {&a, &b}, [&] { return a.NoteOns().size() > played + 4; }, 5s));
    EXPECT_TRUE(b.session.Playing());

    net.SetLoopback(true);
    Peers({&a, &b}, 1);
    EXPECT_TRUE(a.session.Playing());
}
