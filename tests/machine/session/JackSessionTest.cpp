// Machines on a JACK server of the test's own (the dummy driver, 48 kHz, 256 frames): their
// port, what it carries, MIDI clock, the transport, and a server that goes away. A client of the
// test records each event's absolute frame.

#include "JackServerTest.h"
#include "TempDir.h"
#include "midi/MidiPortSystem.h"
#include "session/MachineSession.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using jacktest::Event;
using jacktest::Recorder;
using jacktest::Server;

constexpr uint32_t Period = Server::Period;

bool IsNoteOn(const Event& e) {
    return (e.Bytes[0] & 0xF0) == 0x90 && e.Length == 3 && e.Bytes[2] != 0;
}

size_t Count(const std::vector<Event>& events, uint8_t status) {
    return std::count_if(events.begin(), events.end(),
                         [&](const Event& e) { return e.Bytes[0] == status; });
}

// A machine whose port has the JACK device, named `name`, writing the message log `log` too.
struct Machine {
    Machine(const std::string& name, const std::string& log = {},
            std::vector<std::string> connect = {})
        : session(Port(name, log, std::move(connect))) {
        session.Listen([this](TChanges changes) { changed |= changes; });
        jackId = session.DeviceCount() - 1;
        session.SetStepTime(30);
    }
    static std::unique_ptr<TMidiPort> Port(const std::string& name, const std::string& log,
                                           std::vector<std::string> connect) {
        TSystemMidiOptions options;
        options.LogPath = log;
        options.Jack.ClientName = name;
        options.Jack.Connect = std::move(connect);
        return std::make_unique<TSystemMidiPort>(options);
    }
    bool OpenJack() {
        return session.DeviceNames().back() == JackDeviceName &&
               session.SetDevice(jackId) == MidiResult::Ok;
    }
    // The follower's 30 ms poll, as the event loop runs it.
    void Poll() {
        session.FollowPlayback();
        if (session.WatchesOutput())
            session.TakeInOutput();
    }

    TMachineSession session;
    int32_t jackId = 0;
    TChanges changed = 0;
};

// Polls the machines (as their followers do) until `done`, at most 10 s.
template <typename Done> bool PollUntil(std::vector<Machine*> machines, Done done) {
    return Recorder::WaitFor([&] {
        for (Machine* machine : machines)
            machine->Poll();
        return done();
    });
}

std::vector<uint32_t> LoggedShorts(const std::string& path) {
    std::ifstream in(path);
    std::vector<uint32_t> words;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string us, kind;
        unsigned b0 = 0, b1 = 0, b2 = 0;
        TShortMessage bytes;
        if (fields >> us >> kind && kind == "short" && fields >> std::hex >> b0 >> b1 >> b2 &&
            SplitShortMessage(b0 | (b1 << 8) | (b2 << 16), bytes))
            words.push_back(b0 | (bytes.Length > 1 ? b1 << 8 : 0) |
                            (bytes.Length > 2 ? b2 << 16 : 0));
    }
    return words;
}

uint32_t Masked(const Event& e) {
    const uint32_t masks[] = {0, 0xFF, 0xFFFF, 0xFFFFFF};
    return e.Word() & masks[e.Length];
}

class Jack : public OwnJackServerTest {};

} // namespace

// The port appears as "JACK" after the ALSA devices and carries what the message log carries,
// in the same order; with the clock on, one Start, one Stop, six one-byte pulses per step, and
// every note-on in the frame of a pulse.
TEST_F(Jack, ThePortCarriesWhatTheLogCarriesWithTheClock) {
    TempDir dir;
    const std::string log = dir.File("midi.log");
    Recorder recorder;
    ASSERT_TRUE(recorder.Ready());
    Machine machine("PKJ", log, {recorder.PortName()}); // connected at once, as
                                                        // PLINKORA_JACK_CONNECT does
    ASSERT_TRUE(machine.OpenJack());
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // a slow process settles

    machine.session.SetSendClock(true);
    ASSERT_EQ(machine.session.PlayPattern(), TStartResult::Playing);
    std::this_thread::sleep_for(std::chrono::milliseconds(16 * 30 * 2 + 100));
    machine.session.Stop();
    ASSERT_TRUE(Recorder::WaitFor([&] { return Count(recorder.Events(), 0xFC) == 1; }));
    // The log writes the device's reset as one line, JACK gets its controller messages.
    const auto carriedNow = [&] {
        std::vector<uint32_t> carried;
        for (const Event& e : recorder.Events())
            if ((e.Bytes[0] & 0xF0) != 0xB0 || (e.Bytes[1] != 64 && e.Bytes[1] != 123))
                carried.push_back(Masked(e));
        return carried;
    };
    const std::vector<uint32_t> logged = LoggedShorts(log); // complete: the stop closed the device
    Recorder::WaitFor([&] { return carriedNow().size() >= logged.size(); }, 3); // the sweep
    const std::vector<Event> events = recorder.Events();
    const std::vector<uint32_t> carried = carriedNow();
    // From the start of play: what an open sends at once may meet a connection the graph has not
    // taken in yet when the process is slow (the sanitizers).
    const auto fromStart = [](std::vector<uint32_t> words) {
        const auto start = std::find(words.begin(), words.end(), 0xFAu);
        words.erase(words.begin(), start - std::min<ptrdiff_t>(3, start - words.begin()));
        return words;
    };
    if (recorder.Xruns().empty()) {
        EXPECT_EQ(fromStart(carried), fromStart(logged));
    } else { // a cycle the server skipped loses what was written in it, nothing else
        const std::vector<uint32_t> all = fromStart(logged);
        bool inOrder = true;
        auto next = all.begin();
        for (uint32_t word : fromStart(carried)) {
            next = std::find(next, all.end(), word);
            if (next == all.end()) {
                inOrder = false;
                break;
            }
            ++next;
        }
        EXPECT_TRUE(inOrder) << "what arrived came in the logged order";
    }

    EXPECT_EQ(Count(events, 0xFA), 1u);
    const size_t noteOns = std::count_if(events.begin(), events.end(), IsNoteOn);
    ASSERT_GE(noteOns, 16u);
    std::vector<uint64_t> pulses;
    for (const Event& e : events)
        if (e.Bytes[0] >= 0xF8) {
            EXPECT_EQ(e.Length, 1) << std::hex << int(e.Bytes[0]);
            if (e.Bytes[0] == 0xF8)
                pulses.push_back(e.Frame);
        }
    // Every note-on shares its frame with a pulse; the pulses run on past the last note-on up
    // to the stop (six per step: at least six per note-on).
    for (const Event& e : events) {
        if (IsNoteOn(e) && jacktest::FramesExact) {
            EXPECT_TRUE(std::binary_search(pulses.begin(), pulses.end(), e.Frame)) << e.Frame;
        }
    }
    EXPECT_GT(pulses.size(), 6 * (noteOns - 1));
    EXPECT_LE(pulses.size(), 6 * noteOns);
    const auto start = std::find_if(events.begin(), events.end(),
                                    [](const Event& e) { return e.Bytes[0] == 0xFA; });
    const auto firstOn = std::find_if(events.begin(), events.end(), IsNoteOn);
    if (jacktest::FramesExact) {
        EXPECT_EQ(start->Frame, firstOn->Frame) << "Start in the frame of the first step";
    }
}

// Three machines follow the transport: nothing plays while it stands; once a machine's play
// button starts it, every machine's Start and first note-on fall in one frame, within two periods
// of the first rolling frame; after the stop each sends a Stop and no note-on.
TEST_F(Jack, ThreeMachinesStartAndStopWithTheTransport) {
    Machine a("PKA"), b("PKB"), c("PKC");
    std::vector<Machine*> machines{&a, &b, &c};
    Recorder recorder("recorder", 3);
    ASSERT_TRUE(recorder.Ready());
    for (int i = 0; i < 3; ++i) {
        Machine& machine = *machines[i];
        machine.session.SetSendClock(true);
        machine.session.SetFollowTransport(true);
        ASSERT_TRUE(machine.OpenJack());
        ASSERT_TRUE(recorder.Connect(std::string("PK") + char('A' + i) + ":midi_out", i));
        EXPECT_TRUE(machine.session.Playback().Armed());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < 3; ++i) {
        a.Poll();
        EXPECT_FALSE(machines[i]->session.Playing());
        for (const Event& e : recorder.Events(i))
            EXPECT_FALSE(IsNoteOn(e) || e.Bytes[0] >= 0xF8) << "nothing while the transport stands";
    }

    a.session.PlayPattern(); // the play button starts the transport
    ASSERT_TRUE(PollUntil(machines, [&] {
        return a.session.Playing() && b.session.Playing() && c.session.Playing();
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_EQ(recorder.RollStarts().size(), 1u);
    const uint64_t rolling = recorder.RollStarts().front();
    std::vector<uint64_t> firsts;
    for (int i = 0; i < 3; ++i) {
        const std::vector<Event> events = recorder.Events(i);
        const auto start = std::find_if(events.begin(), events.end(),
                                        [](const Event& e) { return e.Bytes[0] == 0xFA; });
        const auto firstOn = std::find_if(events.begin(), events.end(), IsNoteOn);
        ASSERT_NE(start, events.end());
        ASSERT_NE(firstOn, events.end());
        if (jacktest::FramesExact) {
            EXPECT_EQ(start->Frame, firstOn->Frame);
        }
        firsts.push_back(firstOn->Frame);
    }
    if (jacktest::FramesExact) {
        EXPECT_EQ(firsts[1], firsts[0]);
        EXPECT_EQ(firsts[2], firsts[0]);
        EXPECT_GE(firsts[0], rolling);
        EXPECT_LE(firsts[0], rolling + 2 * Period) << "rolling at " << rolling;
    }

    b.session.Stop(); // any following machine's stop stops the transport
    ASSERT_TRUE(PollUntil(machines, [&] {
        return !a.session.Playing() && !b.session.Playing() && !c.session.Playing();
    }));
    // Each tick sends its Stop when it sees the transport stop, which may come after its machine
    // took the stop in (a slowed tick, the sanitizers).
    Recorder::WaitFor([&] {
        for (int i = 0; i < 3; ++i)
            if (Count(recorder.Events(i), 0xFC) == 0)
                return false;
        return true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < 3; ++i) {
        const std::vector<Event> events = recorder.Events(i);
        const auto stop = std::find_if(events.begin(), events.end(),
                                       [](const Event& e) { return e.Bytes[0] == 0xFC; });
        ASSERT_NE(stop, events.end());
        EXPECT_TRUE(std::none_of(stop, events.end(), IsNoteOn)) << "machine " << i;
        EXPECT_TRUE(machines[i]->session.Playback().Armed()) << "armed for the next start";
    }
}

// A server that ends while a machine plays: the machine stops, says so once, keeps running, and
// finds JACK again when a server returns.
TEST_F(Jack, AMachineSurvivesItsServersEnd) {
    Machine machine("PKS");
    ASSERT_TRUE(machine.OpenJack());
    ASSERT_EQ(machine.session.PlayPattern(), TStartResult::Playing);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    machine.changed = 0;

    server->Stop();
    ASSERT_TRUE(PollUntil({&machine}, [&] { return (machine.changed & chDeviceGone) != 0; }));
    EXPECT_FALSE(machine.session.Playing());
    EXPECT_FALSE(machine.session.Support().DeviceOpen);
    EXPECT_NE(machine.session.DeviceNames().back(), JackDeviceName);
    machine.changed = 0;
    machine.Poll();
    EXPECT_EQ(machine.changed & chDeviceGone, 0u) << "said once";
    EXPECT_NE(machine.session.PlayPattern(), TStartResult::Playing);
    EXPECT_EQ(machine.session.Out().OpenFailure, Message(TMessageKind::JackNotRunning));

    ASSERT_TRUE(server->Start());
    machine.session.RefreshDevices();
    ASSERT_EQ(machine.session.DeviceNames().back(), JackDeviceName);
    Recorder recorder;
    ASSERT_EQ(machine.session.PlayPattern(), TStartResult::Playing);
    ASSERT_TRUE(recorder.Connect("PKS:midi_out"));
    EXPECT_TRUE(Recorder::WaitFor([&] {
        const auto events = recorder.Events();
        return std::any_of(events.begin(), events.end(), IsNoteOn);
    }));
    machine.session.Stop();
}

// A timebase master that publishes 125 beats per minute.
class TimebaseMaster {
public:
    TimebaseMaster() {
        jack_status_t status{};
        client_ = jack_client_open("master", JackNoStartServer, &status);
        if (client_ &&
            jack_set_timebase_callback(client_, 0, &TimebaseMaster::Publish, nullptr) == 0)
            jack_activate(client_);
    }
    ~TimebaseMaster() {
        if (client_)
            jack_client_close(client_);
    }
    bool Ready() const { return client_ != nullptr; }

private:
    static void Publish(jack_transport_state_t, jack_nframes_t, jack_position_t* position, int,
                        void*) {
        position->valid = JackPositionBBT;
        position->bar = 1;
        position->beat = 1;
        position->tick = 0;
        position->beats_per_bar = 4;
        position->beat_type = 4;
        position->ticks_per_beat = 1920;
        position->beats_per_minute = 125;
    }
    jack_client_t* client_ = nullptr;
};

// A following machine takes the master's tempo as the nearest step time: a quarter is four steps,
// so 125 beats per minute are 120 ms per step.
TEST_F(Jack, AFollowingMachineTakesATimebaseMastersTempo) {
    TimebaseMaster master;
    ASSERT_TRUE(master.Ready());
    Machine machine("PKT");
    machine.session.SetFollowTransport(true);
    ASSERT_TRUE(machine.OpenJack());
    ASSERT_EQ(machine.session.PlayPattern(), TStartResult::Playing);
    EXPECT_TRUE(PollUntil({&machine}, [&] { return machine.session.Song().StepTime == 120; }))
        << machine.session.Song().StepTime;
    EXPECT_NE(machine.changed & chTempo, 0u) << "the tempo bar is told";
    machine.session.Stop();
}
