#pragma once

#include "MidiInput.h"
#include "MidiPort.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <jack/ringbuffer.h>
#include <memory>
#include <string>
#include <vector>

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

struct TJackOptions {
    std::string ClientName = "Plinkora"; // the machine's name: "Plinkora", "PK0" .. "PK3"
    std::vector<std::string> Connect;    // ports the output is connected to once it runs
};

// PLINKORA_JACK_CONNECT: a comma-separated list of port names.
std::vector<std::string> JackConnectionsFromEnvironment();

// Whether a JACK server answers (a client opens and closes at once; a server is never started).
bool JackServerRunning(const std::string& clientName);

// The machine's JACK client with its MIDI output port "midi_out" and its MIDI input port
// "midi_in".
//
// Timing: a sender stamps each message with its due time on CLOCK_MONOTONIC; Send converts it to
// JACK's clock (CLOCK_MONOTONIC_RAW, read beside CLOCK_MONOTONIC on the sending thread) and
// hands it to the process callback through a lock-free ring. The callback writes each message
// at the frame of its due time plus exactly one period (and the periods held, HoldPeriods), so
// the interval between two messages is exact to the frame whatever the sender's wake-up jitter.
// The due time's frame is found from the times (jack_get_cycle_times) of the cycle that holds it,
// the times the input stamped a received message of that cycle with: a message due at a received
// message's time leaves exactly that many periods after it, however JACK's estimate of the
// cycles' times wavers from one cycle to the next; one that comes too late
// for that goes out at the start of the cycle, one due in a later cycle stays queued. The callback
// allocates nothing, takes no lock and makes no system call.
//
// Senders: one at a time (the MIDI output serializes them); a sender that follows another sees
// what it wrote through the hand-over that serializes them. Transport: the callback watches
// JACK's transport and publishes its starts and stops (Watch). When the server goes away the
// client counts as gone: sends are dropped and counted, nothing waits for the server.
//
// Input: the callback hands every event of midi_in to the sink set by SetInputSink, stamped with
// the CLOCK_MONOTONIC_RAW time of its frame (the cycle's start from jack_get_cycle_times plus
// its offset at the cycle's rate). A message sent with that time as its due time therefore goes
// out in the same frame one period later, as any message due then.
class TJackMidiClient : public TOutsideTransport {
public:
    // Opens the client and its port, activates it and makes the connections; null with `result`
    // set when no server answers (NoDriver) or the client cannot be set up.
    static std::unique_ptr<TJackMidiClient> Open(const TJackOptions& options, int32_t& result);
    ~TJackMidiClient() override;
    TJackMidiClient(const TJackMidiClient&) = delete;
    TJackMidiClient& operator=(const TJackMidiClient&) = delete;

    int32_t Send(uint32_t message, int64_t dueMonotonicNs) noexcept;
    bool Gone() const noexcept { return gone_.load(std::memory_order_acquire); }
    // Messages dropped: the server was gone, the ring or a cycle's buffer was full.
    uint64_t Dropped() const noexcept { return dropped_.load(std::memory_order_relaxed); }
    // Messages handed over and not yet written (diagnosis).
    uint64_t Queued() const noexcept {
        return written_.load(std::memory_order_acquire) - consumed_.load(std::memory_order_acquire);
    }
    // The port's full name ("PK0:midi_out").
    std::string PortName() const;
    // The input port's full name ("PK0:midi_in").
    std::string InputPortName() const;
    // Where midi_in delivers from now on; null stops delivery. When this returns, the callback no
    // longer uses the sink set before. User-interface thread.
    void SetInputSink(TMidiInputSink* sink);
    // What is handed over sounds after the port's playback latency (the largest of its
    // connections) and the one period by which the port places it later.
    TOutputTiming Timing() const;

    // Every message is written `periods` periods later still (TMidiDevice::HoldPeriods). Any
    // thread.
    void HoldPeriods(uint32_t periods) noexcept { holdPeriods_.store(periods); }

    TState Watch() const noexcept override;
    void Start() override;
    void Stop() override;

private:
    // One message on its way to the callback.
    struct TQueued {
        int64_t DueRawNs = 0;
        uint8_t Bytes[3] = {0, 0, 0};
        uint8_t Length = 0;
    };

    // A cycle's frames against JACK's clock: the first frame and its time, the next cycle's.
    struct TCycleTimes {
        uint32_t Start = 0;
        uint32_t Frames = 0;
        uint64_t Us = 0, NextUs = 0;
    };

    TJackMidiClient() = default;
    static int Process(uint32_t frames, void* self) noexcept;
    static void ShutDown(int code, const char* reason, void* self) noexcept;
    void WriteDue(void* buffer, const TCycleTimes& cycle) noexcept;
    const TCycleTimes& CycleOf(int64_t dueRawNs) const noexcept;
    void WatchTransport(uint64_t cycleUs, uint64_t nextUs) noexcept;
    void ReadInput(uint32_t frames, uint64_t cycleUs, uint64_t nextUs) noexcept;
    // Waits until the process callback ran `count` more times (at most half a second).
    void AwaitCycles(uint32_t count) const;

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_port_t* inPort_ = nullptr;
    // Sequentially consistent with cycles_: SetInputSink clears it and then reads cycles_, the
    // callback counts a cycle and then reads it; one of the two sees the other's write.
    std::atomic<TMidiInputSink*> sink_{nullptr};
    jack_ringbuffer_t* ring_ = nullptr;
    uint64_t capacity_ = 0;             // messages the ring holds
    std::atomic<uint64_t> written_{0};  // messages handed over (senders)
    std::atomic<uint64_t> consumed_{0}; // messages taken out (callback)
    std::atomic<uint64_t> dropped_{0};
    std::atomic<bool> gone_{false};
    std::atomic<uint32_t> cycles_{0}; // process cycles run
    // Transport as the callback saw it.
    // Callback only: the times of the last cycles, this one the latest.
    std::array<TCycleTimes, 16> cycleTimes_{};
    uint64_t cyclesSeen_ = 0;
    std::atomic<uint32_t> holdPeriods_{0};
    bool seenTransport_ = false; // callback only
    bool rolling_ = false;       // callback only
    std::atomic<uint32_t> starts_{0};
    std::atomic<uint32_t> stops_{0};
    std::atomic<int64_t> rollingRawNs_{0};
    std::atomic<int64_t> periodNs_{0};
    std::atomic<double> beatsPerMinute_{0};
};

// A device over `client` (which outlives it): ShortMsg is due now, Reset sends sustain off and
// all notes off on every channel, Close only ends the device (the client and its connections
// stay).
std::unique_ptr<TMidiDevice> MakeJackMidiDevice(TJackMidiClient& client);
