#include "MidiPortSystem.h"

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
    goneJack_.clear(); // the output's device before has been let go of
    jackOutput_ = false;
    if (deviceId == JackDeviceId())
        return OpenJack(deviceId, device);
    if (!jackInput_)
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
    void HoldPeriods(uint32_t periods) noexcept override { device_->HoldPeriods(periods); }

private:
    std::unique_ptr<TMidiDevice> log_;
    std::unique_ptr<TMidiDevice> device_;
};

} // namespace

int32_t TSystemMidiPort::HoldJackClient() {
    if (jack_ && jack_->Gone()) {
        if (jackOutput_)
            goneJack_.push_back(std::move(jack_));
        jack_.reset();
    }
    if (jack_)
        return MidiResult::Ok;
    int32_t result = MidiResult::Ok;
    jack_ = TJackMidiClient::Open(options_.Jack, result);
    if (!jack_) {
        if (result == MidiResult::NoDriver)
            openFailure_ = Message(TMessageKind::JackNotRunning);
        return result;
    }
    if (jackInput_)
        jack_->SetInputSink(jackInput_); // the input goes on with the new client
    return MidiResult::Ok;
}

int32_t TSystemMidiPort::OpenJack(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) {
    if (const int32_t result = HoldJackClient(); result != MidiResult::Ok)
        return result;
    jackOutput_ = true;
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

int32_t TSystemMidiPort::OpenInput(const TMidiInputChoice& choice, TMidiInputSink& sink) {
    openFailure_ = {};
    alsaInput_.reset(); // its thread has stopped when this returns
    switch (choice.Kind) {
    case TMidiInputChoice::TKind::Jack:
        return OpenJackInput(sink);
    case TMidiInputChoice::TKind::Alsa:
        ReleaseJackInput();
        return OpenAlsaMidiInput(choice.Device, sink, alsaInput_);
    case TMidiInputChoice::TKind::None:
        break;
    }
    ReleaseJackInput();
    return MidiResult::Ok;
}

int32_t TSystemMidiPort::OpenJackInput(TMidiInputSink& sink) {
    jackInput_ = nullptr; // a new client starts without the sink before
    if (const int32_t result = HoldJackClient(); result != MidiResult::Ok)
        return result;
    jackInput_ = &sink;
    jack_->SetInputSink(&sink);
    return MidiResult::Ok;
}

void TSystemMidiPort::ReleaseJackInput() {
    if (!jackInput_)
        return;
    jackInput_ = nullptr;
    if (!jack_)
        return;
    jack_->SetInputSink(nullptr);
    if (!jackOutput_)
        jack_.reset(); // the output does not use it: the client leaves the patchbay
}

std::unique_ptr<TMidiPort> MakeSystemMidiPort(const std::string& machineName) {
    return std::make_unique<TSystemMidiPort>(SystemMidiOptionsFromEnvironment(machineName));
}
