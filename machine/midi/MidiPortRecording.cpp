#include "MidiPortRecording.h"

class TRecordingMidiPort::Device : public TMidiDevice {
public:
    explicit Device(TRecordingMidiPort& port) : port_(port) {}
    ~Device() override { port_.deviceOpen_.store(false, std::memory_order_release); }

    int32_t ShortMsg(uint32_t message) noexcept override {
        return Answer(TMidiCall::Kind::Short, message, port_.ShortResult);
    }
    int32_t ShortMsgAt(uint32_t message, int64_t dueMonotonicNs) noexcept override {
        return Answer(TMidiCall::Kind::Short, message, port_.ShortResult, dueMonotonicNs);
    }
    int32_t Reset() noexcept override {
        return Answer(TMidiCall::Kind::Reset, 0, port_.ResetResult);
    }
    TOutputTiming Timing() noexcept override { return port_.OutputTiming; }
    int32_t Close() noexcept override {
        const int32_t result = Answer(TMidiCall::Kind::Close, 0, port_.CloseResult);
        port_.deviceOpen_.store(false, std::memory_order_release);
        return result;
    }

private:
    int32_t Answer(TMidiCall::Kind what, int64_t value, const std::atomic<int32_t>& result,
                   int64_t due = SentNow) {
        const int32_t recorded = port_.Record(what, value, due);
        return recorded != MidiResult::Ok ? recorded : result.load(std::memory_order_relaxed);
    }

    TRecordingMidiPort& port_;
};

TRecordingMidiPort::TRecordingMidiPort(std::vector<std::string> deviceNames, size_t capacity)
    : names_(std::move(deviceNames)), calls_(new TMidiCall[capacity]), dues_(new int64_t[capacity]),
      capacity_(capacity) {}

TRecordingMidiPort::~TRecordingMidiPort() = default;

int32_t TRecordingMidiPort::DeviceCount() {
    return static_cast<int32_t>(names_.size());
}

std::string TRecordingMidiPort::DeviceName(int32_t index) {
    if (index < 0 || index >= DeviceCount())
        return {};
    return names_[index];
}

int32_t TRecordingMidiPort::Open(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) {
    const int32_t recorded = Record(TMidiCall::Kind::Open, deviceId);
    if (recorded != MidiResult::Ok)
        return recorded;
    if (deviceId < MidiMapperId || deviceId >= DeviceCount())
        return MidiResult::BadDeviceId;
    if (DeviceIsOpen())
        return MidiResult::Allocated;
    const int32_t result = OpenResult.load();
    if (result == MidiResult::Ok) {
        device = std::make_unique<Device>(*this);
        deviceOpen_.store(true, std::memory_order_release);
    }
    return result;
}

int32_t TRecordingMidiPort::Record(TMidiCall::Kind what, int64_t value, int64_t due) noexcept {
    const size_t size = size_.load(std::memory_order_relaxed);
    if (size == capacity_) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return MidiResult::NoMemory;
    }
    calls_[size] = TMidiCall{what, value};
    dues_[size] = due;
    size_.store(size + 1, std::memory_order_release);
    return MidiResult::Ok;
}

std::vector<TMidiCall> TRecordingMidiPort::Calls() const {
    const size_t size = Size();
    return std::vector<TMidiCall>(calls_.get(), calls_.get() + size);
}

std::vector<uint32_t> TRecordingMidiPort::ShortMessages() const {
    std::vector<uint32_t> words;
    const size_t size = Size();
    for (size_t i = 0; i < size; ++i)
        if (calls_[i].What == TMidiCall::Kind::Short)
            words.push_back(static_cast<uint32_t>(calls_[i].Value));
    return words;
}

void TRecordingMidiPort::Clear() {
    size_.store(0, std::memory_order_release);
    dropped_.store(0, std::memory_order_relaxed);
}
