#pragma once

// A JACK server of a test's own and a client that records what reaches it, for the tests and the
// timing benchmark. The server runs the dummy driver (48 kHz, 256 frames) under a name of its
// own, exported in JACK_DEFAULT_SERVER for this process and the programs it starts.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <jack/transport.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace jacktest {

// Under ThreadSanitizer the playback thread runs many times slower and can miss its head start of
// one period, so frames are not exact there; that run checks how the threads share data. The
// normal and the address-sanitizer builds check the frames, the timing benchmark measures them.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool FramesExact = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool FramesExact = false;
#else
inline constexpr bool FramesExact = true;
#endif
#else
inline constexpr bool FramesExact = true;
#endif

inline bool JackdInstalled() {
    return access("/usr/bin/jackd", X_OK) == 0 || access("/usr/local/bin/jackd", X_OK) == 0;
}

inline void Quiet(const char*) {}

inline bool ServerAnswers() {
    jack_set_error_function(&Quiet);
    jack_set_info_function(&Quiet);
    jack_status_t status{};
    jack_client_t* probe = jack_client_open("plinkora-test-probe", JackNoStartServer, &status);
    if (!probe)
        return false;
    jack_client_close(probe);
    return true;
}

class Server {
public:
    static constexpr uint32_t Rate = 48000;
    static constexpr uint32_t Period = 256;

    Server() : slot_(TakeSlot()), name_("plinkora-test-" + std::to_string(slot_.Number)) {
        Start();
    }
    ~Server() {
        Stop();
        if (slot_.Lock >= 0)
            close(slot_.Lock);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Running() const { return pid_ > 0; }
    const std::string& Name() const { return name_; }

    // Waits until a client can open (at most 10 s).
    bool Start() {
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM); // a test that dies takes its server with it
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            const std::string rate = std::to_string(Rate), period = std::to_string(Period);
            // A long client timeout: a client slowed down by a sanitizer is not thrown out.
            execlp("jackd", "jackd", "-n", name_.c_str(), "-t", "10000", "-d", "dummy", "-r",
                   rate.c_str(), "-p", period.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200; ++i) {
            if (ServerAnswers())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Stop();
        return false;
    }

    void Stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    // JACK keeps a registry of at most eight servers and takes back the entry of a dead server
    // only for a new server of the same name: the test servers share a few names, each held by
    // a lock while it runs (parallel test programs take different ones).
    struct Slot {
        int Number = 0;
        int Lock = -1;
    };
    static Slot TakeSlot() {
        for (int number = 0; number < 6; ++number) {
            const std::string path = "/tmp/plinkora-jack-test-" + std::to_string(number) + ".lock";
            const int lock = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (lock >= 0 && flock(lock, LOCK_EX | LOCK_NB) == 0)
                return {number, lock};
            if (lock >= 0)
                close(lock);
        }
        return {getpid(), -1}; // all taken: a name of its own
    }

    Slot slot_;
    std::string name_;
    pid_t pid_ = -1;
};

// One MIDI event as it reached the recorder: its absolute frame and bytes.
struct Event {
    uint64_t Frame = 0;
    uint8_t Bytes[3] = {0, 0, 0};
    uint8_t Length = 0;
    uint32_t Word() const { return Bytes[0] | (Bytes[1] << 8) | (Bytes[2] << 16); }
};

// A client with one MIDI input per source it records; each event with its absolute frame
// (jack_last_frame_time + offset). Also the frames where the transport began and stopped rolling,
// and the cycles in which an xrun was reported.
class Recorder {
public:
    static constexpr size_t Capacity = 1 << 18;

    explicit Recorder(const std::string& name = "recorder", int inputs = 1) : inputs_(inputs) {
        jack_status_t status{};
        client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
        if (!client_)
            return;
        for (int i = 0; i < inputs; ++i) {
            ports_.push_back(jack_port_register(client_, ("in" + std::to_string(i)).c_str(),
                                                JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
            streams_.emplace_back(Capacity);
            counts_.push_back(std::make_unique<std::atomic<size_t>>(0));
        }
        jack_set_process_callback(client_, &Recorder::Process, this);
        jack_set_xrun_callback(client_, &Recorder::Xrun, this);
        jack_activate(client_);
    }
    ~Recorder() {
        if (client_)
            jack_client_close(client_);
    }

    bool Ready() const { return client_ != nullptr; }
    jack_client_t* Client() const { return client_; }
    std::string PortName(int input = 0) const { return jack_port_name(ports_[input]); }
    bool Connect(const std::string& source, int input = 0) {
        return jack_connect(client_, source.c_str(), PortName(input).c_str()) == 0;
    }

    std::vector<Event> Events(int input = 0) const {
        const size_t count = counts_[input]->load(std::memory_order_acquire);
        return std::vector<Event>(streams_[input].begin(), streams_[input].begin() + count);
    }
    // Frames of the first rolling cycle of each start, and of the first stopped cycle after.
    std::vector<uint64_t> RollStarts() const { return Frames(rolls_, rollCount_); }
    std::vector<uint64_t> RollStops() const { return Frames(stops_, stopCount_); }
    std::vector<uint64_t> Xruns() const { return Frames(xruns_, xrunCount_); }

    // Waits (at most `seconds`) until `done` holds.
    template <typename Done> static bool WaitFor(Done done, double seconds = 10) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

private:
    static constexpr size_t Marks = 1024;

    static std::vector<uint64_t> Frames(const uint64_t (&marks)[Marks],
                                        const std::atomic<size_t>& count) {
        return std::vector<uint64_t>(marks, marks + count.load(std::memory_order_acquire));
    }
    static void Mark(uint64_t (&marks)[Marks], std::atomic<size_t>& count, uint64_t frame) {
        const size_t at = count.load(std::memory_order_relaxed);
        if (at < Marks) {
            marks[at] = frame;
            count.store(at + 1, std::memory_order_release);
        }
    }

    static int Process(jack_nframes_t frames, void* self) {
        auto& recorder = *static_cast<Recorder*>(self);
        const uint64_t start = jack_last_frame_time(recorder.client_);
        jack_position_t position;
        const bool rolling =
            jack_transport_query(recorder.client_, &position) == JackTransportRolling;
        if (rolling && !recorder.rolling_)
            Mark(recorder.rolls_, recorder.rollCount_, start);
        if (!rolling && recorder.rolling_)
            Mark(recorder.stops_, recorder.stopCount_, start);
        recorder.rolling_ = rolling;
        recorder.lastStart_.store(start, std::memory_order_relaxed);
        for (int input = 0; input < recorder.inputs_; ++input) {
            void* buffer = jack_port_get_buffer(recorder.ports_[input], frames);
            const uint32_t count = jack_midi_get_event_count(buffer);
            std::atomic<size_t>& stored = *recorder.counts_[input];
            for (uint32_t i = 0; i < count; ++i) {
                jack_midi_event_t event;
                const size_t at = stored.load(std::memory_order_relaxed);
                if (jack_midi_event_get(&event, buffer, i) != 0 || at == Capacity)
                    continue;
                Event& out = recorder.streams_[input][at];
                out.Frame = start + event.time;
                out.Length = static_cast<uint8_t>(event.size < 3 ? event.size : 3);
                CopyEventBytes(out.Bytes, event.buffer, out.Length);
                stored.store(at + 1, std::memory_order_release);
            }
        }
        return 0;
    }

    // An event's bytes lie in JACK's shared memory. ThreadSanitizer's first look at them took a
    // third of a second, overran the cycle and lost that cycle's events: they are read unwatched.
    __attribute__((no_sanitize("thread"))) static void
    CopyEventBytes(uint8_t* to, const uint8_t* from, uint8_t length) {
        for (uint8_t b = 0; b < length; ++b)
            to[b] = from[b];
    }

    static int Xrun(void* self) {
        auto& recorder = *static_cast<Recorder*>(self);
        Mark(recorder.xruns_, recorder.xrunCount_, recorder.lastStart_.load());
        return 0;
    }

    jack_client_t* client_ = nullptr;
    int inputs_;
    std::vector<jack_port_t*> ports_;
    std::vector<std::vector<Event>> streams_;
    std::vector<std::unique_ptr<std::atomic<size_t>>> counts_;
    bool rolling_ = false;
    std::atomic<uint64_t> lastStart_{0};
    uint64_t rolls_[Marks] = {}, stops_[Marks] = {}, xruns_[Marks] = {};
    std::atomic<size_t> rollCount_{0}, stopCount_{0}, xrunCount_{0};
};

// A client with one MIDI output port that writes byte messages at chosen absolute frames, to
// drive another client's input frame-exactly (a leader's clock: at 100 BPM and 48 kHz a pulse
// every 1200 frames).
//
//   Sender sender;                        // on the server of JACK_DEFAULT_SERVER
//   sender.Connect("PK0:midi_in");
//   const uint64_t at = sender.Soon();    // a frame safely ahead of the running cycle
//   sender.Send(at, {0xFA});
//   sender.Send(at + 1200, {0xF8});
//
// Each Send is one JACK event (a message, or several with running status: one event's bytes
// arrive together). Send from one thread, in frame order; a message is queued lock-free for the
// process callback, which writes it into the cycle that holds its frame. A message whose frame
// has passed goes out at the start of the next cycle and counts as late (Late()); a test whose
// timing matters checks that none was. Sent() tells where each message went and JACK's time of
// that frame.
class Sender {
public:
    static constexpr size_t MaxBytes = 16;

    // A message as written: its absolute frame and JACK's time of that frame (the cycle's start
    // from jack_get_cycle_times plus the offset at the cycle's rate; ns of CLOCK_MONOTONIC_RAW).
    struct Written {
        uint64_t Frame = 0;
        int64_t RawNs = 0;
    };

    explicit Sender(const std::string& name = "sender") {
        jack_status_t status{};
        client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
        if (!client_)
            return;
        ring_ = jack_ringbuffer_create(Capacity * sizeof(Queued) + 1); // holds Capacity whole
        port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &Sender::Process, this);
        jack_activate(client_);
    }
    ~Sender() {
        if (client_)
            jack_client_close(client_);
        if (ring_)
            jack_ringbuffer_free(ring_);
    }
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    bool Ready() const { return client_ && ring_ && port_; }
    std::string PortName() const { return jack_port_name(port_); }
    // Connects the port and waits (at most 10 s) until two of its cycles ran connected: a slow
    // graph (the sanitizers) takes a new connection in late, and what is written before is lost.
    bool Connect(const std::string& destination) {
        const uint64_t before = connectedCycles_.load(std::memory_order_acquire);
        return jack_connect(client_, PortName().c_str(), destination.c_str()) == 0 &&
               Recorder::WaitFor(
                   [&] { return connectedCycles_.load(std::memory_order_acquire) >= before + 2; });
    }

    // The frame JACK estimates for now.
    uint64_t Now() const { return jack_frame_time(client_); }
    // A frame `periods` periods ahead of now: far enough for a sending thread that is not
    // stalled to queue what falls on it in time.
    uint64_t Soon(uint32_t periods = 8) const {
        return Now() + static_cast<uint64_t>(periods) * jack_get_buffer_size(client_);
    }

    // Queues `bytes` (1..MaxBytes) for absolute frame `frame`; false when they do not fit.
    bool Send(uint64_t frame, std::initializer_list<uint8_t> bytes) {
        const uint64_t written = written_.load(std::memory_order_relaxed);
        if (bytes.size() == 0 || bytes.size() > MaxBytes ||
            written - consumed_.load(std::memory_order_acquire) >= Capacity)
            return false;
        Queued queued;
        queued.Frame = frame;
        queued.Length = static_cast<uint8_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), queued.Bytes);
        jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&queued), sizeof queued);
        written_.store(written + 1, std::memory_order_release);
        return true;
    }
    // Waits (at most `seconds`) until every queued message went out.
    bool Drain(double seconds = 10) const {
        return Recorder::WaitFor(
            [&] {
                return consumed_.load(std::memory_order_acquire) ==
                       written_.load(std::memory_order_relaxed);
            },
            seconds);
    }
    uint64_t Late() const { return late_.load(std::memory_order_acquire); }
    std::vector<Written> Sent() const {
        const size_t count = sentCount_.load(std::memory_order_acquire);
        return std::vector<Written>(sent_.begin(), sent_.begin() + count);
    }

private:
    static constexpr size_t Capacity = 4096;
    struct Queued {
        uint64_t Frame = 0;
        uint8_t Length = 0;
        uint8_t Bytes[MaxBytes] = {};
    };

    static int Process(jack_nframes_t frames, void* self) {
        auto& sender = *static_cast<Sender*>(self);
        if (jack_port_connected(sender.port_) > 0)
            sender.connectedCycles_.fetch_add(1, std::memory_order_release);
        void* buffer = jack_port_get_buffer(sender.port_, frames);
        jack_midi_clear_buffer(buffer);
        const uint64_t start = jack_last_frame_time(sender.client_);
        jack_nframes_t cycleFrame = 0;
        jack_time_t cycleUs = 0, nextUs = 0;
        float periodUs = 0;
        jack_get_cycle_times(sender.client_, &cycleFrame, &cycleUs, &nextUs, &periodUs);
        const double nsPerFrame = static_cast<double>(nextUs - cycleUs) * 1000.0 / frames;
        jack_nframes_t last = 0;
        // The counters order the ring for the sanitizer, which does not see libjack's barriers.
        const uint64_t written = sender.written_.load(std::memory_order_acquire);
        uint64_t consumed = sender.consumed_.load(std::memory_order_relaxed);
        Queued queued;
        for (; consumed != written; ++consumed) {
            jack_ringbuffer_peek(sender.ring_, reinterpret_cast<char*>(&queued), sizeof queued);
            if (queued.Frame >= start + frames)
                break; // due in a later cycle
            const bool late = queued.Frame < start;
            const auto onTime = static_cast<jack_nframes_t>(late ? 0 : queued.Frame - start);
            const jack_nframes_t offset = std::max(onTime, last); // events go in time order
            if (jack_midi_event_write(buffer, offset, queued.Bytes, queued.Length) != 0)
                break; // the cycle's buffer is full: the rest in the next cycle
            if (late)
                sender.late_.fetch_add(1, std::memory_order_release);
            const size_t at = sender.sentCount_.load(std::memory_order_relaxed);
            if (at < Capacity) {
                sender.sent_[at] = {start + offset, static_cast<int64_t>(cycleUs) * 1000 +
                                                        std::llround(offset * nsPerFrame)};
                sender.sentCount_.store(at + 1, std::memory_order_release);
            }
            last = offset;
            jack_ringbuffer_read_advance(sender.ring_, sizeof queued);
        }
        sender.consumed_.store(consumed, std::memory_order_release);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_ringbuffer_t* ring_ = nullptr;
    std::atomic<uint64_t> written_{0}, consumed_{0}, late_{0}, connectedCycles_{0};
    std::vector<Written> sent_ = std::vector<Written>(Capacity);
    std::atomic<size_t> sentCount_{0};
};

// Whether an interval between frames a and b lies within two periods of an xrun.
inline bool NearXrun(const std::vector<uint64_t>& xruns, uint64_t a, uint64_t b) {
    const uint64_t margin = 2 * Server::Period;
    for (uint64_t x : xruns)
        if (x + margin >= a && x <= b + margin)
            return true;
    return false;
}

} // namespace jacktest
