#pragma once

#include "MidiPort.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// One call that reached a recording port or one of its devices.
struct TMidiCall {
    enum class Kind : uint8_t { Open, Short, Reset, Close };
    Kind What = Kind::Short;
    int64_t Value = 0; // the device id of an Open, the message word of a Short
    bool operator==(const TMidiCall&) const = default;
};

// A port for tests: it lists the device names it was given, opens one device at a time and
// records every call in a list of fixed capacity, without allocating on the send path. A call
// that finds the list full is not recorded, counted in Dropped(), and fails with NoMemory.
//
// The result fields set what the next calls return. Recording follows the device contract:
// calls never overlap, though they may come from different threads one after another; the
// list may be read from any thread while a device sends.
class TRecordingMidiPort : public TMidiPort {
public:
    explicit TRecordingMidiPort(std::vector<std::string> deviceNames = {}, size_t capacity = 65536);
    ~TRecordingMidiPort() override;

    int32_t DeviceCount() override;
    std::string DeviceName(int32_t index) override;
    int32_t Open(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) override;

    std::atomic<int32_t> OpenResult{MidiResult::Ok};
    std::atomic<int32_t> ShortResult{MidiResult::Ok};
    std::atomic<int32_t> ResetResult{MidiResult::Ok};
    std::atomic<int32_t> CloseResult{MidiResult::Ok};
    // What its devices say of their timing (TMidiDevice::Timing); set while none is open.
    TOutputTiming OutputTiming;

    size_t Size() const { return size_.load(std::memory_order_acquire); }
    TMidiCall Call(size_t index) const { return calls_[index]; }
    // The due time a send was stamped with (ShortMsgAt), SentNow for a send due now.
    static constexpr int64_t SentNow = -1;
    int64_t Due(size_t index) const { return dues_[index]; }
    std::vector<TMidiCall> Calls() const;
    std::vector<uint32_t> ShortMessages() const; // the words of all recorded sends, in order
    size_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }
    bool DeviceIsOpen() const { return deviceOpen_.load(std::memory_order_acquire); }
    void Clear(); // only while no device sends

private:
    class Device;
    int32_t Record(TMidiCall::Kind what, int64_t value, int64_t due = SentNow) noexcept;

    std::vector<std::string> names_;
    std::unique_ptr<TMidiCall[]> calls_;
    std::unique_ptr<int64_t[]> dues_;
    size_t capacity_;
    std::atomic<size_t> size_{0};
    std::atomic<size_t> dropped_{0};
    std::atomic<bool> deviceOpen_{false};
};
