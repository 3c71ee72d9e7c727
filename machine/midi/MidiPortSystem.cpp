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

TSystemMidiOptions SystemMidiOptionsFromEnvironment() {
    TSystemMidiOptions options;
    options.LogPath = Environment("PLINKORA_MIDI_LOG");
    options.Mapper = SynthOptionsFromEnvironment();
    return options;
}

TUserMessage SystemSoundFontProblem() {
    const TSystemMidiOptions options = SystemMidiOptionsFromEnvironment();
    return options.LogPath.empty() ? SoundFontProblem(options.Mapper.SoundFont) : TUserMessage{};
}

TSystemMidiPort::TSystemMidiPort(TSystemMidiOptions options)
    : options_(std::move(options)), mapper_(options_.Mapper) {}

int32_t TSystemMidiPort::DeviceCount() {
    names_ = AlsaMidiOutputNames();
    return static_cast<int32_t>(names_.size());
}

std::string TSystemMidiPort::DeviceName(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= names_.size())
        return {};
    return names_[index];
}

int32_t TSystemMidiPort::Open(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) {
    openFailure_ = {};
    if (deviceId < MidiMapperId || deviceId >= static_cast<int32_t>(names_.size()))
        return MidiResult::BadDeviceId;
    if (!options_.LogPath.empty())
        return OpenLogMidiDevice(options_.LogPath, deviceId, device);
    if (deviceId == MidiMapperId) {
        const int32_t result = mapper_.Open(device);
        openFailure_ = mapper_.Failure();
        return result;
    }
    return OpenAlsaMidiOutput(deviceId, device);
}

std::unique_ptr<TMidiPort> MakeSystemMidiPort() {
    return std::make_unique<TSystemMidiPort>(SystemMidiOptionsFromEnvironment());
}
