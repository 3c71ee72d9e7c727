#include "MidiPortFluidSynth.h"

#include "MidiPortAlsa.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fluidsynth.h>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace {

using TDriverStart = TFluidSynthMapper::TDriverStart;

std::vector<std::string> OfferedAudioDrivers(fluid_settings_t* settings) {
    std::vector<std::string> names;
    fluid_settings_foreach_option(
        settings, "audio.driver", &names, [](void* data, const char*, const char* option) {
            static_cast<std::vector<std::string>*>(data)->push_back(option);
        });
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string Join(const std::vector<std::string>& names, const std::string& separator = ", ") {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : separator) + name;
    return text;
}

// A log message as one clause: no line ends, no closing full stop.
std::string Clause(std::string message) {
    while (!message.empty() &&
           (message.back() == '.' || std::isspace(static_cast<unsigned char>(message.back()))))
        message.pop_back();
    std::replace(message.begin(), message.end(), '\n', ' ');
    return message;
}

// Where a sound server listens for its clients.
std::string RuntimeFolder(const char* variable) {
    if (const char* folder = std::getenv(variable); folder && *folder)
        return folder;
    if (const char* folder = std::getenv("XDG_RUNTIME_DIR"); folder && *folder)
        return folder;
    return "/run/user/" + std::to_string(getuid());
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// A desktop driver that talks to a sound server is tried only when the server runs: trying it
// otherwise could start one (PulseAudio's autospawn) or wait for one.
bool ServerRuns(const std::string& driver) {
    if (driver == "pipewire") {
        const char* remote = std::getenv("PIPEWIRE_REMOTE");
        return Exists(RuntimeFolder("PIPEWIRE_RUNTIME_DIR") + "/" +
                      (remote && *remote ? remote : "pipewire-0"));
    }
    if (driver == "pulseaudio")
        return std::getenv("PULSE_SERVER") ||
               Exists(RuntimeFolder("PULSE_RUNTIME_PATH") + "/native") ||
               Exists(RuntimeFolder("XDG_RUNTIME_DIR") + "/pulse/native");
    return true;
}

// The drivers to try, in order: `wanted`, or when it is empty the desktop drivers. Skipped and
// Missing say why others are not tried.
struct TDriverChoice {
    std::vector<std::string> Candidates;
    std::vector<std::string> Skipped; // "pulseaudio (no server runs)"
    std::vector<std::string> Missing; // "this FluidSynth has no driver ..."
};

TDriverChoice ChooseDrivers(const std::vector<std::string>& offered,
                            const std::vector<std::string>& wanted) {
    TDriverChoice choice;
    for (const std::string& name : wanted)
        if (Contains(offered, name))
            choice.Candidates.push_back(name);
        else
            choice.Missing.push_back("this FluidSynth has no driver \"" + name + "\" (it has " +
                                     Join(offered) + ")");
    if (!wanted.empty())
        return choice;
    for (const char* name : DesktopAudioDrivers)
        if (Contains(offered, name) && ServerRuns(name))
            choice.Candidates.push_back(name);
        else if (Contains(offered, name))
            choice.Skipped.push_back(std::string(name) + " (no server runs)");
    if (choice.Candidates.empty() && choice.Skipped.empty())
        choice.Missing.push_back(
            "this FluidSynth has none of " +
            Join({std::begin(DesktopAudioDrivers), std::end(DesktopAudioDrivers)}) + " (it has " +
            Join(offered) + ")");
    return choice;
}

// Starts the first of the chosen drivers that starts. When none does, Failure says what was
// tried and why each failed.
TDriverStart StartAudioDriver(fluid_settings_t* settings, fluid_synth_t* synth,
                              const std::vector<std::string>& wanted) {
    TDriverChoice choice = ChooseDrivers(OfferedAudioDrivers(settings), wanted);
    std::vector<std::string> tried = choice.Skipped;
    for (const std::string& name : choice.Candidates) {
        std::string error;
        fluid_audio_driver_t* driver = nullptr;
        {
            const TFluidErrorCapture capture(error);
            if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) == FLUID_OK)
                driver = new_fluid_audio_driver(settings, synth);
        }
        if (driver)
            return {driver, {}};
        tried.push_back(name + (error.empty() ? " (did not start)" : " (" + Clause(error) + ")"));
    }
    std::vector<std::string> reasons = std::move(choice.Missing);
    if (!tried.empty())
        reasons.insert(reasons.begin(), "tried " + Join(tried));
    return {nullptr, Message(TMessageKind::NoAudioOutput, {Plain(Join(reasons, "; "))})};
}

} // namespace

class TFluidSynthMapper::Device : public TMidiDevice {
public:
    Device(TFluidSynthMapper& mapper, fluid_audio_driver_t* driver)
        : mapper_(mapper), synth_(mapper.synth_->Engine), driver_(driver),
          latencyNs_(AudioBufferNs(mapper.synth_->Settings)) {
        mapper_.deviceOpen_ = true;
    }
    ~Device() override { Close(); }

    // FluidSynth's own answers are not passed on: a note-off for a key that does not sound or a
    // program missing from the soundfont is no error of the port.
    int32_t ShortMsg(uint32_t message) noexcept override {
        TShortMessage m;
        if (!driver_)
            return MidiResult::InvalidHandle;
        if (!SplitShortMessage(message, m))
            return MidiResult::InvalidParameter;
        const int channel = m.Bytes[0] & 15;
        const int data1 = m.Bytes[1];
        const int data2 = m.Bytes[2];
        switch (m.Bytes[0] & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth_, channel, data1);
            break;
        case 0x90:
            fluid_synth_noteon(synth_, channel, data1, data2);
            break;
        case 0xA0:
            fluid_synth_key_pressure(synth_, channel, data1, data2);
            break;
        case 0xB0:
            fluid_synth_cc(synth_, channel, data1, data2);
            break;
        case 0xC0:
            fluid_synth_program_change(synth_, channel, data1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(synth_, channel, data1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7));
            break;
        default:
            if (m.Bytes[0] == 0xFF)
                fluid_synth_system_reset(synth_);
            break;
        }
        return MidiResult::Ok;
    }

    // Sustain off and all notes off on every channel; programs and banks stay.
    int32_t Reset() noexcept override {
        if (!driver_)
            return MidiResult::InvalidHandle;
        for (int channel = 0; channel < 16; ++channel)
            fluid_synth_cc(synth_, channel, 64, 0);
        fluid_synth_all_notes_off(synth_, -1);
        return MidiResult::Ok;
    }

    // A message sounds once the audio ahead of it in the driver's buffer has played.
    TOutputTiming Timing() noexcept override { return {latencyNs_, false}; }

    int32_t Close() noexcept override {
        if (!driver_)
            return MidiResult::InvalidHandle;
        delete_fluid_audio_driver(driver_);
        driver_ = nullptr;
        fluid_synth_all_sounds_off(synth_, -1);
        mapper_.deviceOpen_ = false;
        return MidiResult::Ok;
    }

private:
    // The audio driver's buffer: its periods of period-size frames at the synthesizer's rate.
    static int64_t AudioBufferNs(fluid_settings_t* settings) {
        int periodSize = 0, periods = 0;
        double rate = 0;
        if (fluid_settings_getint(settings, "audio.period-size", &periodSize) != FLUID_OK ||
            fluid_settings_getint(settings, "audio.periods", &periods) != FLUID_OK ||
            fluid_settings_getnum(settings, "synth.sample-rate", &rate) != FLUID_OK || rate <= 0)
            return 0;
        return static_cast<int64_t>(1e9 * periodSize * periods / rate);
    }

    TFluidSynthMapper& mapper_;
    fluid_synth_t* synth_;
    fluid_audio_driver_t* driver_;
    int64_t latencyNs_;
};

TFluidSynthMapper::TFluidSynthMapper(TFluidSynthOptions options) : options_(std::move(options)) {}

// A driver that started after Open stopped waiting for it goes with the synthesizer.
TFluidSynthMapper::~TFluidSynthMapper() {
    if (starting_.valid())
        if (const TDriverStart started = starting_.get(); started.Driver)
            delete_fluid_audio_driver(started.Driver);
}

int32_t TFluidSynthMapper::Open(std::unique_ptr<TMidiDevice>& device) {
    failure_ = {};
    if (deviceOpen_)
        return MidiResult::Allocated;
    QuietFluidSynth();
    QuietAlsaLibrary();
    if (!synth_) {
        auto synth = std::make_unique<TFluidSynthEngine>();
        switch (synth->Load(options_)) {
        case TFluidSynthEngine::TLoad::Ok:
            break;
        case TFluidSynthEngine::TLoad::NoMemory:
            return MidiResult::NoMemory;
        case TFluidSynthEngine::TLoad::BadSetting:
            return MidiResult::InvalidParameter;
        case TFluidSynthEngine::TLoad::NoSoundFont:
            return MidiResult::NoDriver;
        }
        synth_ = std::move(synth);
    }
    const TDriverStart started = StartDriver();
    if (!started.Driver) {
        failure_ = started.Failure;
        return MidiResult::NoDevice;
    }
    device = std::make_unique<Device>(*this, started.Driver);
    return MidiResult::Ok;
}

// The drivers are tried on a thread of their own, which the caller (the user-interface thread)
// waits for only briefly: a sound server that is slow to answer must not freeze the windows. A
// start still under way is taken up by the next open.
TFluidSynthMapper::TDriverStart TFluidSynthMapper::StartDriver() {
    if (!starting_.valid()) {
        KeepSoundServersFromStarting();
        try {
            starting_ = std::async(std::launch::async, StartAudioDriver, synth_->Settings,
                                   synth_->Engine, options_.AudioDrivers);
        } catch (const std::system_error&) {
            return StartAudioDriver(synth_->Settings, synth_->Engine, options_.AudioDrivers);
        }
    }
    if (starting_.wait_for(DriverWait) != std::future_status::ready)
        return {nullptr, Message(TMessageKind::AudioOutputPending)};
    return starting_.get();
}
