#pragma once

#include "MidiInput.h"
#include "UserMessage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The port layer under the MIDI output: a small stand-in for the operating system's MIDI
// services. Every call returns a result code; the codes are those of the classic multimedia
// MIDI interface, so the debugger and the user see the same numbers on every back end.
namespace MidiResult {
constexpr int32_t Ok = 0;
constexpr int32_t Unspecified = 1;
constexpr int32_t BadDeviceId = 2;
constexpr int32_t NotEnabled = 3;
constexpr int32_t Allocated = 4;
constexpr int32_t InvalidHandle = 5;
constexpr int32_t NoDriver = 6;
constexpr int32_t NoMemory = 7;
constexpr int32_t NotSupported = 8;
constexpr int32_t InvalidFlag = 10;
constexpr int32_t InvalidParameter = 11;
constexpr int32_t HandleBusy = 12;
constexpr int32_t NoDevice = 68;
} // namespace MidiResult

// Device id of the built-in General MIDI synthesizer, listed first as "Midi Mapper".
constexpr int32_t MidiMapperId = -1;

// Longest device name the device list shows (a 32-byte name field with its terminator).
constexpr size_t MaxDeviceNameLength = 31;

// A transport that other programs start and stop (JACK's): what its process thread saw, read
// by the playback tick without locks or system calls, and its start and stop, which only the
// user-interface thread calls.
class TOutsideTransport {
public:
    struct TState {
        uint32_t Starts = 0;       // how often it began to roll
        uint32_t Stops = 0;        // how often it stopped rolling
        int64_t RollingRawNs = 0;  // CLOCK_MONOTONIC_RAW time of the last start's first
                                   // rolling frame
        int64_t PeriodNs = 0;      // the length of one process period
        double BeatsPerMinute = 0; // a timebase master's tempo; 0 when none publishes one
    };
    virtual ~TOutsideTransport() = default;
    virtual TState Watch() const noexcept = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
};

// How a device's output reaches the listener.
struct TOutputTiming {
    int64_t LatencyNs = 0;     // from the moment a message is handed over until it sounds
    bool PlacesInTime = false; // ShortMsgAt places a message at its due time, so a sender may
                               // hand it over before that time
};

// One open output device.
//
// Contract:
// - Calls on one device never overlap. The MIDI output serializes them: the playback tick and
//   the user-interface thread never call into the same device at the same time.
// - ShortMsg and Flush may run on the playback thread: they never allocate, lock or block.
// - Close releases the device; after it only destruction may follow. A device that is
//   destroyed without Close releases itself quietly.
// - The port that opened a device outlives it.
class TMidiDevice {
public:
    virtual ~TMidiDevice() = default;
    virtual int32_t ShortMsg(uint32_t message) noexcept = 0;
    // The same message, due at `dueMonotonicNs` (nanoseconds of CLOCK_MONOTONIC). A device
    // that can place a message in time (JACK) writes it at that moment plus a constant
    // latency; the others send it now, as ShortMsg does. Same rules as ShortMsg.
    virtual int32_t ShortMsgAt(uint32_t message, int64_t dueMonotonicNs) noexcept {
        (void)dueMonotonicNs;
        return ShortMsg(message);
    }
    virtual int32_t Reset() noexcept = 0;
    // The calls since the last Flush belong together (the messages of one playback moment): a
    // device that hands its work to another thread passes them on now. Same rules as ShortMsg.
    virtual void Flush() noexcept {}
    virtual int32_t Close() noexcept = 0;
    // The transport of the audio system the device belongs to, when it has one (JACK's); it
    // lives as long as the port that opened the device.
    virtual TOutsideTransport* Transport() noexcept { return nullptr; }
    // True once the device's server went away: sends are dropped from then on. Any thread.
    virtual bool Gone() const noexcept { return false; }
    // How the output is timed; user-interface thread. A device that sends at once and knows no
    // delay of its own (an ALSA port) keeps the default.
    virtual TOutputTiming Timing() noexcept { return {}; }
    // A device that places messages in time writes each one `periods` processing periods later
    // than it would, counted in frames (a step due at a received pulse's time then still lies a
    // whole number of periods after that pulse's frame); the others ignore it.
    virtual void HoldPeriods(uint32_t periods) noexcept { (void)periods; }
};

// The devices a program can reach. Device ids are MidiMapperId or 0..DeviceCount()-1; all calls
// run on the user-interface thread.
class TMidiPort {
public:
    virtual ~TMidiPort() = default;
    // Looks the devices up afresh; DeviceName answers from that look-up.
    virtual int32_t DeviceCount() = 0;
    virtual std::string DeviceName(int32_t index) = 0;
    // On success (0) `device` holds the open device; otherwise it stays empty.
    virtual int32_t Open(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) = 0;
    // After a failed Open, what the user should read when the result code alone would not
    // tell them what went wrong and what to do; empty otherwise.
    virtual TUserMessage OpenFailure() const { return {}; }
    // A device id that Open takes although the last look-up did not list it (a stored choice
    // of a device that comes and goes with its server, such as JACK's).
    virtual bool OpensUnlisted(int32_t deviceId) const {
        (void)deviceId;
        return false;
    }

    // MIDI input. The ALSA input ports, looked up afresh (a choice's Device indexes them).
    virtual std::vector<std::string> InputNames() { return {}; }
    // Opens `choice` to deliver into `sink` (which outlives the port), closing the input that
    // was open before; None only closes it. Jack reads the midi_in port of the machine's JACK
    // client, opening the client when the output does not hold it already (the client stays
    // while the output or the input uses it). On failure no input is open, the result code is
    // that of Open and OpenFailure says why when the code alone would not. One producer
    // delivers into `sink` at a time: the one before has stopped when this returns.
    virtual int32_t OpenInput(const TMidiInputChoice& choice, TMidiInputSink& sink) {
        (void)sink;
        return choice.Kind == TMidiInputChoice::TKind::None ? MidiResult::Ok : MidiResult::NoDriver;
    }
};

// A machine without MIDI devices (the command line's export): every open fails with "no device
// driver".
class TNoMidiPort : public TMidiPort {
public:
    int32_t DeviceCount() override { return 0; }
    std::string DeviceName(int32_t) override { return {}; }
    int32_t Open(int32_t, std::unique_ptr<TMidiDevice>&) override { return MidiResult::NoDriver; }
};

// The bytes that a packed message word puts on the wire: status in bits 0..7, first data byte
// in bits 8..15, second in bits 16..23, and only as many bytes as the status calls for.
struct TShortMessage {
    uint8_t Bytes[3] = {0, 0, 0};
    uint8_t Length = 0;
};

// False for a word that is no valid short message (no status byte, a data byte above 127,
// system exclusive or an undefined status); back ends refuse such words with InvalidParameter.
bool SplitShortMessage(uint32_t message, TShortMessage& out) noexcept;

// Cuts a device name to MaxDeviceNameLength bytes without splitting a UTF-8 character.
std::string CutDeviceName(std::string name);

// The device list of the main window: "Midi Mapper" first (device id -1), then the name of
// every device in device order.
std::vector<std::string> OutputDeviceList(TMidiPort& port);
