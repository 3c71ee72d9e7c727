// JACK timing: on a dummy JACK server of its own (48 kHz, 256 frames per period) a machine plays
// a 16-step pattern at 30 ms per step with MIDI clock for 20 s (or the seconds given as the
// argument) through its own JACK port, and a client records each event's absolute frame. Then
// the same song is played the old way: each message written when it reaches the process
// callback, at offset 0 of the next cycle. For both it prints the note-on intervals (1,440
// frames is exact; the interval across a pattern pass is one tick, 48 frames, longer because a
// pass lasts one tick more than its steps) and the clock pulse intervals (240 frames) at the
// median, the 99th percentile (the interval whose distance from the median 99 % of the intervals
// do not exceed) and the extremes, whether every realtime message is one byte,
// and how many note-ons share their frame with a pulse. Intervals within two periods of an
// xrun are left out.
//   JackTimingBench [SECONDS]

#include "JackTestRig.h"
#include "midi/MidiPortSystem.h"
#include "session/MachineSession.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <jack/ringbuffer.h>
#include <set>
#include <thread>
#include <vector>

namespace {

using jacktest::Event;
using jacktest::Recorder;
using jacktest::Server;

constexpr int32_t StepTime = 30;

// The old way: a port whose one device hands every message to the process callback, which
// writes what has arrived at offset 0 of its cycle.
class TOldWayPort : public TMidiPort {
public:
    TOldWayPort() {
        jack_status_t status{};
        client_ = jack_client_open("PKOld", JackNoStartServer, &status);
        ring_ = jack_ringbuffer_create(1 << 16);
        port_ =
            jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &TOldWayPort::Process, this);
        jack_activate(client_);
    }
    ~TOldWayPort() override {
        jack_client_close(client_);
        jack_ringbuffer_free(ring_);
    }
    std::string PortName() const { return jack_port_name(port_); }

    int32_t DeviceCount() override { return 1; }
    std::string DeviceName(int32_t) override { return "old way"; }
    int32_t Open(int32_t, std::unique_ptr<TMidiDevice>& device) override {
        device = std::make_unique<Device>(*this);
        return MidiResult::Ok;
    }

private:
    struct Device : TMidiDevice {
        explicit Device(TOldWayPort& port) : port_(port) {}
        int32_t ShortMsg(uint32_t message) noexcept override {
            TShortMessage bytes;
            if (!SplitShortMessage(message, bytes))
                return MidiResult::InvalidParameter;
            if (jack_ringbuffer_write_space(port_.ring_) < sizeof bytes)
                return MidiResult::NoMemory; // a full ring drops the message whole
            jack_ringbuffer_write(port_.ring_, reinterpret_cast<const char*>(&bytes), sizeof bytes);
            port_.written_.fetch_add(1, std::memory_order_release);
            return MidiResult::Ok;
        }
        int32_t Reset() noexcept override { return MidiResult::Ok; }
        int32_t Close() noexcept override { return MidiResult::Ok; }
        TOldWayPort& port_;
    };

    static int Process(jack_nframes_t frames, void* self) {
        auto& port = *static_cast<TOldWayPort*>(self);
        void* buffer = jack_port_get_buffer(port.port_, frames);
        jack_midi_clear_buffer(buffer);
        const uint64_t written = port.written_.load(std::memory_order_acquire);
        for (; port.read_ != written; ++port.read_) {
            TShortMessage bytes;
            jack_ringbuffer_read(port.ring_, reinterpret_cast<char*>(&bytes), sizeof bytes);
            jack_midi_event_write(buffer, 0, bytes.Bytes, bytes.Length);
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_ringbuffer_t* ring_ = nullptr;
    std::atomic<uint64_t> written_{0};
    uint64_t read_ = 0;
};

void Play(TMachineSession& session, int32_t device, double seconds) {
    session.SetStepTime(StepTime);
    session.SetSendClock(true);
    session.SetDevice(device);
    session.PlayPattern();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    session.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

struct TFigures {
    int64_t Median = 0, P99 = 0, Min = 0, Max = 0;
    size_t Count = 0;
};

TFigures Figures(std::vector<int64_t> values) {
    TFigures f;
    f.Count = values.size();
    if (values.empty())
        return f;
    std::sort(values.begin(), values.end());
    f.Median = values[values.size() / 2];
    f.Min = values.front();
    f.Max = values.back();
    // The 99th percentile of the distance from the median, with its sign.
    std::vector<int64_t> off(values);
    std::sort(off.begin(), off.end(), [&](int64_t a, int64_t b) {
        return std::llabs(a - f.Median) < std::llabs(b - f.Median);
    });
    f.P99 = off[std::min(off.size() - 1, off.size() * 99 / 100)];
    return f;
}

void Print(const char* what, const TFigures& f, int64_t exact) {
    std::printf("  %-38s %6zu   median %5lld   p99 %5lld   min %5lld   max %5lld   (exact %lld)\n",
                what, f.Count, static_cast<long long>(f.Median), static_cast<long long>(f.P99),
                static_cast<long long>(f.Min), static_cast<long long>(f.Max),
                static_cast<long long>(exact));
}

bool IsNoteOn(const Event& e) {
    return (e.Bytes[0] & 0xF0) == 0x90 && e.Bytes[2] != 0;
}

void Report(const char* title, const std::vector<Event>& events,
            const std::vector<uint64_t>& xruns) {
    std::vector<uint64_t> noteOns, pulses;
    size_t realtime = 0, oneByte = 0;
    for (const Event& e : events) {
        if (IsNoteOn(e))
            noteOns.push_back(e.Frame);
        if (e.Bytes[0] >= 0xF8) {
            ++realtime;
            oneByte += e.Length == 1;
            if (e.Bytes[0] == 0xF8)
                pulses.push_back(e.Frame);
        }
    }
    const int64_t step = StepTime * Server::Rate / 1000;
    std::vector<int64_t> steps, wraps, pulseGaps, pulseWraps;
    for (size_t i = 1; i < noteOns.size(); ++i) {
        if (jacktest::NearXrun(xruns, noteOns[i - 1], noteOns[i]))
            continue;
        const int64_t gap = static_cast<int64_t>(noteOns[i] - noteOns[i - 1]);
        (i % 16 == 0 ? wraps : steps).push_back(gap); // note-on 16k starts a new pass
    }
    for (size_t i = 1; i < pulses.size(); ++i)
        if (!jacktest::NearXrun(xruns, pulses[i - 1], pulses[i]))
            (i % 96 == 0 ? pulseWraps : pulseGaps)
                .push_back(static_cast<int64_t>(pulses[i] - pulses[i - 1]));
    const std::set<uint64_t> pulseFrames(pulses.begin(), pulses.end());
    const size_t shared = std::count_if(noteOns.begin(), noteOns.end(),
                                        [&](uint64_t f) { return pulseFrames.count(f) != 0; });

    std::printf("%s\n", title);
    Print("note-on intervals within a pass", Figures(steps), step);
    Print("note-on intervals across a pass", Figures(wraps), step + Server::Rate / 1000);
    Print("clock pulse intervals within a pass", Figures(pulseGaps), step / 6);
    Print("clock pulse intervals across a pass", Figures(pulseWraps),
          step / 6 + Server::Rate / 1000);
    std::printf("  realtime messages of one byte       %zu of %zu\n", oneByte, realtime);
    std::printf("  note-ons in the frame of a pulse    %zu of %zu\n", shared, noteOns.size());
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    Server server;
    if (!server.Running()) {
        std::fprintf(stderr, "JackTimingBench: the dummy JACK server did not start (jackd2?)\n");
        return 1;
    }
    Recorder recorder("recorder", 2);
    std::printf("dummy JACK server: %u Hz, %u frames per period; %d ms per step, %.0f s each\n\n",
                Server::Rate, Server::Period, StepTime, seconds);
    {
        TSystemMidiOptions options;
        options.Jack.ClientName = "PKBench";
        options.Jack.Connect = {recorder.PortName(0)};
        auto port = std::make_unique<TSystemMidiPort>(options);
        TSystemMidiPort& jackPort = *port;
        TMachineSession session(std::move(port));
        Play(session, jackPort.JackDeviceId(), seconds);
    }
    {
        auto port = std::make_unique<TOldWayPort>();
        recorder.Connect(port->PortName(), 1);
        TMachineSession session(std::move(port));
        Play(session, 0, seconds);
    }
    const std::vector<uint64_t> xruns = recorder.Xruns();
    std::printf("xruns: %zu (intervals within two periods of one are left out)\n\n", xruns.size());
    Report("frame-exact (due time + one period):", recorder.Events(0), xruns);
    std::printf("\n");
    Report("the old way (written when it arrives, at offset 0):", recorder.Events(1), xruns);
    return 0;
}
