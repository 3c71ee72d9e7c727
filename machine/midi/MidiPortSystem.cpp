#include "MidiPortSystem.h"

#include "MidiPortAlsa.h"
#include "MidiPortLog.h"

#include <cstdlib>

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

TSystemMidiOptions SystemMidiOptionsFromEnvironment(const std::string& machineName) {
    TSystemMidiOptions options;
    options.LogPath = Environment("PLINKORA_MIDI_LOG");
    options.Mapper = SynthOptionsFromEnvironment();
    options.Jack.ClientName = machineName.empty() ? "Plinkora" : machineName;
    options.Jack.Connect = JackConnectionsFromEnvironment();
    return options;
}

TUserMessage SystemSoundFontProblem() {
    const TSystemMidiOptions options = SystemMidiOptionsFromEnvironment();
    return options.LogPath.empty() ? SoundFontProblem(options.Mapper.SoundFont) : TUserMessage{};
}

TSystemMidiPort::TSystemMidiPort(TSystemMidiOptions options)
    : options_(std::move(options)), mapper_(options_.Mapper) {}

TSystemMidiPort::~TSystemMidiPort() = default;

int32_t TSystemMidiPort::DeviceCount() {
    alsaNames_ = AlsaMidiOutputNames();
    jackListed_ = (jack_ && !jack_->Gone()) || JackServerRunning(options_.Jack.ClientName);
    return static_cast<int32_t>(alsaNames_.size()) + (jackListed_ ? 1 : 0);
}

std::string TSystemMidiPort::DeviceName(int32_t index) {
    if (index == JackDeviceId() && jackListed_)
        return JackDeviceName;
    if (index < 0 || index >= JackDeviceId())
        return {};
    return alsaNames_[index];
}

int32_t TSystemMidiPort::Open(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) {
    openFailure_ = {};
    if (deviceId < MidiMapperId || deviceId > JackDeviceId())
        return MidiResult::BadDeviceId;
    if (deviceId == JackDeviceId())
        return OpenJack(deviceId, device);
    jack_.reset(); // another device: the JACK port leaves the patchbay
    if (!options_.LogPath.empty())
        return OpenLogMidiDevice(options_.LogPath, deviceId, device);
    if (deviceId == MidiMapperId) {
        const int32_t result = mapper_.Open(device);
        openFailure_ = mapper_.Failure();
        return result;
    }
    return OpenAlsaMidiOutput(deviceId, device);
}

namespace {

// The JACK device beside the message log: every call goes to both, the log's result counts.
class TLoggedMidiDevice : public TMidiDevice {
public:
    TLoggedMidiDevice(std::unique_ptr<TMidiDevice> log, std::unique_ptr<TMidiDevice> device)
        : log_(std::move(log)), device_(std::move(device)) {}

    int32_t ShortMsg(uint32_t message) noexcept override {
        device_->ShortMsg(message);
        return log_->ShortMsg(message);
    }
    int32_t ShortMsgAt(uint32_t message, int64_t dueMonotonicNs) noexcept override {
        device_->ShortMsgAt(message, dueMonotonicNs);
        return log_->ShortMsgAt(message, dueMonotonicNs);
    }
    int32_t Reset() noexcept override {
        device_->Reset();
        return log_->Reset();
    }
    void Flush() noexcept override {
        device_->Flush();
        log_->Flush();
    }
    int32_t Close() noexcept override {
        device_->Close();
        return log_->Close();
    }
    TOutsideTransport* Transport() noexcept override { return device_->Transport(); }
    bool Gone() const noexcept override { return device_->Gone(); }
    TOutputTiming Timing() noexcept override { return device_->Timing(); }

private:
    std::unique_ptr<TMidiDevice> log_;
    std::unique_ptr<TMidiDevice> device_;
};

} // namespace

int32_t TSystemMidiPort::OpenJack(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) {
    if (jack_ && jack_->Gone())
        jack_.reset();
    if (!jack_) {
        int32_t result = MidiResult::Ok;
        jack_ = TJackMidiClient::Open(options_.Jack, result);
        if (!jack_) {
            if (result == MidiResult::NoDriver)
                openFailure_ = Message(TMessageKind::JackNotRunning);
            return result;
        }
    }
    std::unique_ptr<TMidiDevice> jackDevice = MakeJackMidiDevice(*jack_);
    if (options_.LogPath.empty()) {
        device = std::move(jackDevice);
        return MidiResult::Ok;
    }
    std::unique_ptr<TMidiDevice> log;
    const int32_t result = OpenLogMidiDevice(options_.LogPath, deviceId, log);
    if (result == MidiResult::Ok)
        device = std::make_unique<TLoggedMidiDevice>(std::move(log), std::move(jackDevice));
    return result;
}

std::unique_ptr<TMidiPort> MakeSystemMidiPort(const std::string& machineName) {
    return std::make_unique<TSystemMidiPort>(SystemMidiOptionsFromEnvironment(machineName));
}
