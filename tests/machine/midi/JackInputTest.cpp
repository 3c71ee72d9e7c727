// The machine's MIDI input on a JACK server of the test's own (the dummy driver, 48 kHz, 256
// frames): a sender of the test writes messages at known frames into midi_in of a system port,
// and the sink must hand them on in order, each with the time of its frame.

#include "JackServerTest.h"
#include "midi/MidiPortSystem.h"
#include "midi/MonotonicClock.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <jack/jack.h>

namespace {

using jacktest::Recorder;
using jacktest::Sender;
using jacktest::Server;

constexpr uint32_t Period = Server::Period;
constexpr TMidiInputChoice JackInputChoice{TMidiInputChoice::TKind::Jack, 0};
constexpr TMidiInputChoice NoInput{};

TSystemMidiOptions Options(const std::string& name, std::vector<std::string> connect = {}) {
    TSystemMidiOptions options;
    options.LogPath = "/dev/null"; // no synthesizer when the output opens another device
    options.Jack.ClientName = name;
    options.Jack.Connect = std::move(connect);
    return options;
}

struct Received {
    std::vector<TTimedMidiMessage> Clock, Control;
};

// Takes what the sink holds until there are `clocks` and `controls` messages (at most 10 s).
bool Receive(TMidiInputSink& sink, Received& got, size_t clocks, size_t controls) {
    return Recorder::WaitFor([&] {
        TTimedMidiMessage message;
        while (sink.PopClock(message))
            got.Clock.push_back(message);
        while (sink.PopControl(message))
            got.Control.push_back(message);
        return got.Clock.size() >= clocks && got.Control.size() >= controls;
    });
}

TMidiMessage Msg(uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0, uint8_t size = 1) {
    return {status, data1, data2, size};
}

// The full names of the ports whose client name begins with `prefix`.
std::vector<std::string> PortsOf(jack_client_t* client, const std::string& prefix) {
    std::vector<std::string> names;
    const char** ports = jack_get_ports(client, ("^" + prefix).c_str(), nullptr, 0);
    for (size_t i = 0; ports && ports[i]; ++i)
        names.push_back(ports[i]);
    jack_free(ports);
    std::sort(names.begin(), names.end());
    return names;
}

class JackInput : public OwnJackServerTest {
protected:
    // Sends one pulse into the sender's connections and waits until `sink` has it.
    static bool PulseArrives(Sender& sender, TMidiInputSink& sink) {
        Received got;
        return sender.Send(sender.Soon(), {0xF8}) && Receive(sink, got, 1, 0);
    }
};

} // namespace

// Clock, start, continue, stop and the song position go to the clock ring, notes and
// controllers (two in one event, the second in running status) to the control ring; the times
// between them are those of their frames.
TEST_F(JackInput, DeliversEveryMessageWithTheTimeOfItsFrame) {
    TSystemMidiPort port(Options("PKIN"));
    TMidiInputSink sink;
    ASSERT_EQ(port.OpenInput(JackInputChoice, sink), MidiResult::Ok);
    Sender sender;
    ASSERT_TRUE(sender.Ready());
    ASSERT_TRUE(sender.Connect(port.JackClient()->InputPortName()));
    ASSERT_TRUE(PulseArrives(sender, sink)) << "the way in runs";

    const uint64_t at = sender.Soon();
    sender.Send(at, {0xFA});
    sender.Send(at + 1200, {0xF8});
    sender.Send(at + 1300, {0x90, 60, 100});
    sender.Send(at + 2400, {0xF8});
    sender.Send(at + 2401, {0xB0, 7, 100, 10, 64});
    sender.Send(at + 3000, {0xF2, 8, 0});
    sender.Send(at + 3001, {0xFB});
    sender.Send(at + 3600, {0xFC});
    Received got;
    if (!Receive(sink, got, 6, 3) && !jacktest::FramesExact)
        GTEST_SKIP() << "a cycle the slowed server skipped lost a message (the threads' sharing "
                        "of data was checked all the same)";
    ASSERT_EQ(got.Clock.size() + got.Control.size(), 9u);
    ASSERT_EQ(sender.Late(), 0u);

    const std::vector<std::pair<TMidiMessage, uint64_t>> clock = {
        {Msg(0xFA), 0},    {Msg(0xF8), 1200}, {Msg(0xF8), 2400}, {Msg(0xF2, 8, 0, 3), 3000},
        {Msg(0xFB), 3001}, {Msg(0xFC), 3600}};
    const std::vector<std::pair<TMidiMessage, uint64_t>> control = {
        {Msg(0x90, 60, 100, 3), 1300}, {Msg(0xB0, 7, 100, 3), 2401}, {Msg(0xB0, 10, 64, 3), 2401}};
    ASSERT_EQ(got.Clock.size(), clock.size());
    ASSERT_EQ(got.Control.size(), control.size());
    // Each time is JACK's time of the message's frame, as the sender's cycle saw it. (The
    // times between frames are not exactly the nominal rate's: JACK measures each cycle's
    // length afresh and it wavers by microseconds, by tens under load.)
    const auto sent = sender.Sent();
    ASSERT_EQ(sent.size(), 9u); // the pulse that showed the way in runs, then the eight
    auto sentAt = [&](uint64_t frame) {
        for (const auto& written : sent)
            if (written.Frame == at + frame)
                return written.RawNs;
        ADD_FAILURE() << "nothing sent at frame " << frame;
        return int64_t{0};
    };
    auto expectAt = [&](const TTimedMidiMessage& message,
                        const std::pair<TMidiMessage, uint64_t>& expected) {
        EXPECT_EQ(message.Message, expected.first);
        EXPECT_NEAR(message.RawNs, sentAt(expected.second), 1) << "frame " << expected.second;
    };
    for (size_t i = 0; i < clock.size(); ++i)
        expectAt(got.Clock[i], clock[i]);
    for (size_t i = 0; i < control.size(); ++i)
        expectAt(got.Control[i], control[i]);
    EXPECT_EQ(sink.Dropped(), 0u);
}

// The output JACK and the input Jack are one client. A message sent with a received message's
// time (plus four periods) as its due time leaves in that message's frame plus five periods: the
// output's one period later. Another output device keeps the client for the input; the input
// letting go then ends it.
TEST_F(JackInput, SharesTheOutputsClientAndItsTime) {
    Recorder recorder;
    ASSERT_TRUE(recorder.Ready());
    TSystemMidiPort port(Options("PKIN", {recorder.PortName()}));
    port.DeviceCount();
    std::unique_ptr<TMidiDevice> out;
    ASSERT_EQ(port.Open(port.JackDeviceId(), out), MidiResult::Ok);
    const TJackMidiClient* client = port.JackClient();
    TMidiInputSink sink;
    ASSERT_EQ(port.OpenInput(JackInputChoice, sink), MidiResult::Ok);
    EXPECT_EQ(port.JackClient(), client);
    EXPECT_EQ(PortsOf(recorder.Client(), "PKIN"),
              (std::vector<std::string>{"PKIN:midi_in", "PKIN:midi_out"}));

    Sender sender;
    ASSERT_TRUE(sender.Ready());
    ASSERT_TRUE(sender.Connect(client->InputPortName()));
    // Two pulses 50 periods apart measure four periods in JACK's time; the pulses after them
    // are sent back out. JACK's cycle times waver by microseconds: at most one of them may be a
    // frame off.
    constexpr uint64_t Measured = 50 * Period;
    constexpr size_t Pulses = 6;
    const uint64_t at = sender.Soon();
    auto frameOf = [&](size_t pulse) {
        return at + (pulse == 0 ? 0 : Measured + (pulse - 1) * 1200);
    };
    for (size_t pulse = 0; pulse < Pulses; ++pulse)
        sender.Send(frameOf(pulse), {0xF8});
    std::vector<int64_t> times;
    int64_t aheadNs = 0;
    ASSERT_TRUE(Recorder::WaitFor([&] {
        TTimedMidiMessage pulse;
        while (sink.PopClock(pulse)) {
            times.push_back(pulse.RawNs);
            if (times.size() == 2)
                aheadNs = std::llround(static_cast<double>(times[1] - times[0]) * 4 * Period /
                                       static_cast<double>(Measured));
            if (times.size() > 2)
                out->ShortMsgAt(0xF8, pulse.RawNs - RawMinusMonotonicNs() + aheadNs);
        }
        return recorder.Events().size() == Pulses - 2;
    }));
    ASSERT_EQ(sender.Late(), 0u);
    const auto events = recorder.Events();
    int exact = 0;
    for (size_t pulse = 2; pulse < Pulses; ++pulse) {
        const auto off =
            static_cast<int64_t>(events[pulse - 2].Frame - frameOf(pulse) - 5 * Period);
        exact += off == 0;
        if (jacktest::FramesExact) {
            EXPECT_LE(std::abs(off), 1) << "pulse " << pulse;
        }
    }
    if (jacktest::FramesExact) {
        EXPECT_GE(exact, static_cast<int>(Pulses) - 3);
    }

    out->Close();
    out.reset();
    ASSERT_EQ(port.Open(MidiMapperId, out), MidiResult::Ok);
    EXPECT_EQ(port.JackClient(), client);
    EXPECT_TRUE(PulseArrives(sender, sink));
    ASSERT_EQ(port.OpenInput(NoInput, sink), MidiResult::Ok);
    EXPECT_EQ(port.JackClient(), nullptr);
}

// None stops delivery while the output keeps the client the input made; Jack again resumes it.
TEST_F(JackInput, NoneStopsDelivery) {
    TSystemMidiPort port(Options("PKIN"));
    TMidiInputSink sink;
    ASSERT_EQ(port.OpenInput(JackInputChoice, sink), MidiResult::Ok);
    const TJackMidiClient* client = port.JackClient();
    ASSERT_NE(client, nullptr);
    port.DeviceCount();
    std::unique_ptr<TMidiDevice> out;
    ASSERT_EQ(port.Open(port.JackDeviceId(), out), MidiResult::Ok);
    EXPECT_EQ(port.JackClient(), client);

    Sender sender;
    Recorder recorder; // beside the input: once it has a later event, the input's cycle is done
    ASSERT_TRUE(sender.Ready() && recorder.Ready());
    ASSERT_TRUE(sender.Connect(client->InputPortName()));
    ASSERT_TRUE(recorder.Connect(sender.PortName()));
    ASSERT_TRUE(PulseArrives(sender, sink));

    ASSERT_EQ(port.OpenInput(NoInput, sink), MidiResult::Ok);
    EXPECT_EQ(port.JackClient(), client);
    const uint64_t at = sender.Soon();
    sender.Send(at, {0xF8});
    sender.Send(at + 2 * Period, {0x90, 60, 100});
    ASSERT_TRUE(Recorder::WaitFor([&] { return recorder.Events().size() == 3; }));
    TTimedMidiMessage message;
    EXPECT_FALSE(sink.PopClock(message));
    EXPECT_FALSE(sink.PopControl(message));

    ASSERT_EQ(port.OpenInput(JackInputChoice, sink), MidiResult::Ok);
    EXPECT_TRUE(PulseArrives(sender, sink));
}

// A client whose server went away is replaced by the next open of the input.
TEST_F(JackInput, ANewClientAfterTheServerWentAway) {
    TSystemMidiPort port(Options("PKIN"));
    TMidiInputSink sink;
    ASSERT_EQ(port.OpenInput(JackInputChoice, sink), MidiResult::Ok);
    server->Stop();
    ASSERT_TRUE(Recorder::WaitFor([&] { return port.JackClient()->Gone(); }));
    ASSERT_TRUE(server->Start());

    ASSERT_EQ(port.OpenInput(JackInputChoice, sink), MidiResult::Ok);
    ASSERT_FALSE(port.JackClient()->Gone());
    Sender sender;
    ASSERT_TRUE(sender.Ready());
    ASSERT_TRUE(sender.Connect(port.JackClient()->InputPortName()));
    EXPECT_TRUE(PulseArrives(sender, sink));
}
