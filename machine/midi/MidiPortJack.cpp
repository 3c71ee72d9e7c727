#include "MidiPortJack.h"

#include "FluidSynthEngine.h"
#include "MonotonicClock.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <jack/transport.h>
#include <mutex>
#include <thread>

namespace {

constexpr size_t RingBytes = 64 * 1024; // 4,095 messages: far more than one moment sends
constexpr const char* PortShortName = "midi_out";
constexpr const char* InputPortShortName = "midi_in";

void IgnoreJackMessage(const char*) {}

// JACK's own messages ("Cannot connect to server socket") stay out of the terminal.
void QuietJackLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!AudioLibraryMessagesWanted()) {
            jack_set_error_function(&IgnoreJackMessage);
            jack_set_info_function(&IgnoreJackMessage);
        }
    });
}

jack_client_t* OpenClient(const std::string& name) {
    QuietJackLibrary();
    jack_status_t status{};
    return jack_client_open(name.c_str(), JackNoStartServer, &status);
}

class TJackMidiDevice : public TMidiDevice {
public:
    explicit TJackMidiDevice(TJackMidiClient& client) : client_(&client) {}

    int32_t ShortMsg(uint32_t message) noexcept override {
        return ShortMsgAt(message, ClockNs(CLOCK_MONOTONIC));
    }
    int32_t ShortMsgAt(uint32_t message, int64_t dueMonotonicNs) noexcept override {
        return client_ ? client_->Send(message, dueMonotonicNs) : MidiResult::InvalidHandle;
    }

    int32_t Reset() noexcept override {
        if (!client_)
            return MidiResult::InvalidHandle;
        const int64_t now = ClockNs(CLOCK_MONOTONIC);
        int32_t result = MidiResult::Ok;
        for (uint32_t channel = 0; channel < 16; ++channel)
            for (uint32_t control : {64u, 123u}) {
                const int32_t code = client_->Send(0xB0 + channel + control * 256, now);
                if (result == MidiResult::Ok)
                    result = code;
            }
        return result;
    }

    int32_t Close() noexcept override {
        if (!client_)
            return MidiResult::InvalidHandle;
        client_ = nullptr;
        return MidiResult::Ok;
    }

    TOutsideTransport* Transport() noexcept override { return client_; }
    bool Gone() const noexcept override { return client_ && client_->Gone(); }
    TOutputTiming Timing() noexcept override {
        return client_ ? client_->Timing() : TOutputTiming{};
    }
    void HoldPeriods(uint32_t periods) noexcept override {
        if (client_)
            client_->HoldPeriods(periods);
    }

private:
    TJackMidiClient* client_;
};

} // namespace

std::vector<std::string> JackConnectionsFromEnvironment() {
    std::vector<std::string> ports;
    const char* value = std::getenv("PLINKORA_JACK_CONNECT");
    std::string text = value ? value : "";
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            ports.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return ports;
}

bool JackServerRunning(const std::string& clientName) {
    jack_client_t* probe = OpenClient(clientName);
    if (!probe)
        return false;
    jack_client_close(probe);
    return true;
}

std::unique_ptr<TJackMidiClient> TJackMidiClient::Open(const TJackOptions& options,
                                                       int32_t& result) {
    std::unique_ptr<TJackMidiClient> jack(new TJackMidiClient);
    jack->client_ = OpenClient(options.ClientName);
    if (!jack->client_) {
        result = MidiResult::NoDriver;
        return nullptr;
    }
    jack->ring_ = jack_ringbuffer_create(RingBytes);
    if (!jack->ring_) {
        result = MidiResult::NoMemory;
        return nullptr;
    }
    jack_ringbuffer_mlock(jack->ring_);
    jack->capacity_ = jack_ringbuffer_write_space(jack->ring_) / sizeof(TQueued);
    jack->port_ = jack_port_register(jack->client_, PortShortName, JACK_DEFAULT_MIDI_TYPE,
                                     JackPortIsOutput, 0);
    jack->inPort_ = jack_port_register(jack->client_, InputPortShortName, JACK_DEFAULT_MIDI_TYPE,
                                       JackPortIsInput, 0);
    if (!jack->port_ || !jack->inPort_ ||
        jack_set_process_callback(jack->client_, &TJackMidiClient::Process, jack.get()) != 0) {
        result = MidiResult::Unspecified;
        return nullptr;
    }
    jack_on_info_shutdown(
        jack->client_,
        [](jack_status_t code, const char* reason, void* self) {
            TJackMidiClient::ShutDown(static_cast<int>(code), reason, self);
        },
        jack.get());
    if (jack_activate(jack->client_) != 0) {
        result = MidiResult::Unspecified;
        return nullptr;
    }
    const std::string own = jack->PortName();
    bool connected = false;
    for (const std::string& other : options.Connect) // a missing port is no failure
        connected = jack_connect(jack->client_, own.c_str(), other.c_str()) == 0 || connected;
    if (connected)
        jack->AwaitCycles(2);
    result = MidiResult::Ok;
    return jack;
}

// JACK 2 (1.9.21) crashes in jack_client_close on a client whose server went away; such a client
// is kept, untouched, until the program ends (a few hundred bytes per server that ended).
TJackMidiClient::~TJackMidiClient() {
    if (client_ && Gone()) {
        static std::mutex keptLock;
        static std::vector<jack_client_t*> kept;
        const std::lock_guard<std::mutex> lock(keptLock);
        kept.push_back(client_);
    } else if (client_) {
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    if (ring_)
        jack_ringbuffer_free(ring_);
}

std::string TJackMidiClient::PortName() const {
    const char* name = port_ ? jack_port_name(port_) : nullptr;
    return name ? name : "";
}

std::string TJackMidiClient::InputPortName() const {
    const char* name = inPort_ ? jack_port_name(inPort_) : nullptr;
    return name ? name : "";
}

void TJackMidiClient::SetInputSink(TMidiInputSink* sink) {
    TMidiInputSink* before = sink_.exchange(nullptr);
    if (before && !Gone())
        AwaitCycles(1); // a cycle that began after the exchange sees no sink
    if (!sink)
        return;
    sink->ResetParser();
    sink_.store(sink);
}

TOutputTiming TJackMidiClient::Timing() const {
    if (Gone())
        return {};
    jack_latency_range_t range{};
    jack_port_get_latency_range(port_, JackPlaybackLatency, &range);
    const jack_nframes_t rate = jack_get_sample_rate(client_);
    if (rate == 0)
        return {0, true};
    const int64_t frames =
        static_cast<int64_t>(range.max) + jack_get_buffer_size(client_) * (1 + holdPeriods_.load());
    return {frames * 1000000000 / rate, true};
}

int32_t TJackMidiClient::Send(uint32_t message, int64_t dueMonotonicNs) noexcept {
    TShortMessage bytes;
    if (!SplitShortMessage(message, bytes))
        return MidiResult::InvalidParameter;
    const uint64_t written = written_.load(std::memory_order_relaxed);
    if (Gone() || written - consumed_.load(std::memory_order_acquire) >= capacity_) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return Gone() ? MidiResult::NoDevice : MidiResult::NoMemory;
    }
    TQueued queued;
    queued.DueRawNs = dueMonotonicNs + RawMinusMonotonicNs();
    for (uint8_t i = 0; i < bytes.Length; ++i)
        queued.Bytes[i] = bytes.Bytes[i];
    queued.Length = bytes.Length;
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&queued), sizeof queued);
    written_.store(written + 1, std::memory_order_release);
    return MidiResult::Ok;
}

// The graph takes in a new connection at a cycle's start: what is sent after two more cycles
// reaches the other end (the program and bank that follow an open).
void TJackMidiClient::AwaitCycles(uint32_t count) const {
    const uint32_t start = cycles_.load();
    for (int waited = 0; waited < 500 && cycles_.load() - start < count; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The bytes lie in memory JACK shares with other processes, where no thread of ours writes.
// ThreadSanitizer's first look there took a third of a second and overran the cycle, so it is
// read unwatched.
__attribute__((no_sanitize("thread"))) static void
CopyFromOtherProcess(uint8_t* to, const uint8_t* from, size_t length) noexcept {
    for (size_t i = 0; i < length; ++i)
        to[i] = from[i];
}

int TJackMidiClient::Process(uint32_t frames, void* self) noexcept {
    auto& jack = *static_cast<TJackMidiClient*>(self);
    jack.cycles_.fetch_add(1);
    void* buffer = jack_port_get_buffer(jack.port_, frames);
    jack_midi_clear_buffer(buffer);
    jack_nframes_t cycleStart = 0;
    jack_time_t cycleUs = 0, nextUs = 0;
    float periodUs = 0;
    if (jack_get_cycle_times(jack.client_, &cycleStart, &cycleUs, &nextUs, &periodUs) != 0 ||
        nextUs <= cycleUs)
        return 0;
    jack.WatchTransport(cycleUs, nextUs);
    const TCycleTimes cycle{cycleStart, frames, cycleUs, nextUs};
    jack.cycleTimes_[jack.cyclesSeen_++ % jack.cycleTimes_.size()] = cycle;
    jack.WriteDue(buffer, cycle);
    jack.ReadInput(frames, cycleUs, nextUs);
    return 0;
}

// An event's time is its frame's, found as WriteDue finds a due time's frame (the inverse).
void TJackMidiClient::ReadInput(uint32_t frames, uint64_t cycleUs, uint64_t nextUs) noexcept {
    TMidiInputSink* sink = sink_.load();
    if (!sink)
        return;
    void* buffer = jack_port_get_buffer(inPort_, frames);
    const double nsPerFrame =
        static_cast<double>(nextUs - cycleUs) * 1000.0 / static_cast<double>(frames);
    const int64_t cycleNs = static_cast<int64_t>(cycleUs) * 1000;
    const uint32_t count = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        const double offsetNs = static_cast<double>(event.time) * nsPerFrame;
        const int64_t stamp = cycleNs + static_cast<int64_t>(std::floor(offsetNs + 0.5));
        uint8_t bytes[64];
        for (size_t done = 0; done < event.size;) {
            const size_t length = std::min(sizeof bytes, event.size - done);
            CopyFromOtherProcess(bytes, event.buffer + done, length);
            sink->DeliverBytes(stamp, std::span<const uint8_t>(bytes, length));
            done += length;
        }
    }
}

// The cycle whose frames hold the moment `dueRawNs` by that cycle's own times, as far back as
// they are kept; a moment after this cycle's start takes this cycle's times.
const TJackMidiClient::TCycleTimes& TJackMidiClient::CycleOf(int64_t dueRawNs) const noexcept {
    const uint64_t kept = std::min<uint64_t>(cyclesSeen_, cycleTimes_.size());
    const TCycleTimes* found = &cycleTimes_[(cyclesSeen_ - 1) % cycleTimes_.size()];
    for (uint64_t back = 0; back < kept; ++back) {
        found = &cycleTimes_[(cyclesSeen_ - 1 - back) % cycleTimes_.size()];
        if (static_cast<int64_t>(found->Us) * 1000 <= dueRawNs)
            break;
    }
    return *found;
}

// The frame of a due time is found as JACK's own time-to-frame conversion finds it, to the
// nanosecond, from the times of the cycle that holds it (CycleOf): the input stamped a received
// message with those very times, so a message due at its time maps back to its frame exactly,
// however JACK's estimate of the cycles' times wavers. One period later (and the periods held,
// HoldPeriods) is where it goes.
void TJackMidiClient::WriteDue(void* buffer, const TCycleTimes& cycle) noexcept {
    const uint32_t frames = cycle.Frames;
    const int64_t later =
        static_cast<int64_t>(frames) * (1 + holdPeriods_.load(std::memory_order_relaxed));
    const uint64_t written = written_.load(std::memory_order_acquire);
    uint64_t consumed = consumed_.load(std::memory_order_relaxed);
    int64_t lastOffset = 0;
    while (consumed != written) {
        TQueued queued;
        jack_ringbuffer_peek(ring_, reinterpret_cast<char*>(&queued), sizeof queued);
        const TCycleTimes& from = CycleOf(queued.DueRawNs);
        const double framesPerNs = static_cast<double>(from.Frames) /
                                   (static_cast<double>(from.NextUs - from.Us) * 1000.0);
        const double due =
            static_cast<double>(queued.DueRawNs - static_cast<int64_t>(from.Us) * 1000) *
            framesPerNs;
        // Frame counters wrap: the difference of two is small and signed.
        const int64_t fromStart = static_cast<int32_t>(from.Start - cycle.Start);
        int64_t offset = fromStart + static_cast<int64_t>(std::floor(due + 0.5)) + later;
        if (offset >= static_cast<int64_t>(frames))
            break; // due in a later cycle
        if (offset < lastOffset)
            offset = lastOffset; // late: at once, and never before what went out already
        if (jack_midi_max_event_size(buffer) < queued.Length)
            break; // the cycle's buffer is full (a reset's sweep): the rest in the next cycle
        if (jack_midi_event_write(buffer, static_cast<jack_nframes_t>(offset), queued.Bytes,
                                  queued.Length) != 0)
            dropped_.fetch_add(1, std::memory_order_relaxed);
        lastOffset = offset;
        jack_ringbuffer_read_advance(ring_, sizeof queued);
        ++consumed;
    }
    consumed_.store(consumed, std::memory_order_release);
}

// Only a change counts: a transport that already rolls when the client starts is no start.
void TJackMidiClient::WatchTransport(uint64_t cycleUs, uint64_t nextUs) noexcept {
    jack_position_t position;
    const bool rolling = jack_transport_query(client_, &position) == JackTransportRolling;
    beatsPerMinute_.store((position.valid & JackPositionBBT) ? position.beats_per_minute : 0.0,
                          std::memory_order_relaxed);
    if (seenTransport_ && rolling && !rolling_) {
        rollingRawNs_.store(static_cast<int64_t>(cycleUs) * 1000, std::memory_order_relaxed);
        periodNs_.store(static_cast<int64_t>(nextUs - cycleUs) * 1000, std::memory_order_relaxed);
        starts_.fetch_add(1, std::memory_order_release);
    } else if (seenTransport_ && !rolling && rolling_) {
        stops_.fetch_add(1, std::memory_order_release);
    }
    seenTransport_ = true;
    rolling_ = rolling;
}

void TJackMidiClient::ShutDown(int, const char*, void* self) noexcept {
    static_cast<TJackMidiClient*>(self)->gone_.store(true, std::memory_order_release);
}

TOutsideTransport::TState TJackMidiClient::Watch() const noexcept {
    TState state;
    state.Stops = stops_.load(std::memory_order_acquire);
    state.Starts = starts_.load(std::memory_order_acquire);
    state.RollingRawNs = rollingRawNs_.load(std::memory_order_relaxed);
    state.PeriodNs = periodNs_.load(std::memory_order_relaxed);
    state.BeatsPerMinute = beatsPerMinute_.load(std::memory_order_relaxed);
    return state;
}

void TJackMidiClient::Start() {
    if (!Gone())
        jack_transport_start(client_);
}

void TJackMidiClient::Stop() {
    if (!Gone())
        jack_transport_stop(client_);
}

std::unique_ptr<TMidiDevice> MakeJackMidiDevice(TJackMidiClient& client) {
    return std::make_unique<TJackMidiDevice>(client);
}
