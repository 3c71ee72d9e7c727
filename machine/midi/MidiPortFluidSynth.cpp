#include "MidiPortFluidSynth.h"

#include "MidiPortAlsa.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fluidsynth.h>
#include <fstream>
#include <mutex>
#include <string_view>

namespace {

// FluidSynth tells why an audio driver did not start only in its log. While an open tries a
// driver, its own thread points this at a string that takes the last error message; on every
// other thread (FluidSynth's audio threads, the playback tick) the log function only reads a
// null pointer, so it never allocates or locks there.
thread_local std::string* capturedError = nullptr;

void KeepError(int, const char* message, void*) {
    if (capturedError && message)
        *capturedError = message;
}

void QuietFluidSynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = 0; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, level <= FLUID_ERR ? KeepError : nullptr, nullptr);
    });
}

template <typename Number> bool ParseNumber(const std::string& text, Number& value) {
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, value);
    return parsed.ec == std::errc() && parsed.ptr == end;
}

bool ApplySetting(fluid_settings_t* settings, const std::string& name, const std::string& value) {
    switch (fluid_settings_get_type(settings, name.c_str())) {
    case FLUID_STR_TYPE:
        return fluid_settings_setstr(settings, name.c_str(), value.c_str()) == FLUID_OK;
    case FLUID_INT_TYPE: {
        int number = 0;
        return ParseNumber(value, number) &&
               fluid_settings_setint(settings, name.c_str(), number) == FLUID_OK;
    }
    case FLUID_NUM_TYPE: {
        double number = 0;
        return ParseNumber(value, number) &&
               fluid_settings_setnum(settings, name.c_str(), number) == FLUID_OK;
    }
    default:
        return false;
    }
}

bool IsFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// A RIFF file of form "sfbk" (SoundFont 2 and 3) or "DLS ". Other files are kept from
// FluidSynth, whose loaders would report them on standard error.
bool IsSoundFontFile(const std::string& path) {
    char header[12] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(header, sizeof header))
        return false;
    const std::string_view riff(header, 4), form(header + 8, 4);
    return riff == "RIFF" && (form == "sfbk" || form == "DLS ");
}

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

std::string Join(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
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

// Starts the first of `wanted` (or, when it is empty, of the desktop drivers) that this
// FluidSynth offers and that starts. When none does, `failure` says what was tried.
fluid_audio_driver_t* StartAudioDriver(fluid_settings_t* settings, fluid_synth_t* synth,
                                       const std::vector<std::string>& wanted,
                                       std::string& failure) {
    const std::vector<std::string> offered = OfferedAudioDrivers(settings);
    std::vector<std::string> candidates, missing;
    if (wanted.empty()) {
        for (const char* name : DesktopAudioDrivers)
            if (Contains(offered, name))
                candidates.push_back(name);
    } else {
        for (const std::string& name : wanted)
            (Contains(offered, name) ? candidates : missing).push_back(name);
    }

    std::string tried;
    for (const std::string& name : candidates) {
        std::string error;
        fluid_audio_driver_t* driver = nullptr;
        capturedError = &error;
        if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) == FLUID_OK)
            driver = new_fluid_audio_driver(settings, synth);
        capturedError = nullptr;
        if (driver)
            return driver;
        tried += (tried.empty() ? "tried " : ", ") + name;
        tried += error.empty() ? " (did not start)" : " (" + Clause(error) + ")";
    }

    std::string reasons = tried;
    for (const std::string& name : missing)
        reasons += (reasons.empty() ? "" : "; ") + std::string("this FluidSynth has no driver \"") +
                   name + "\" (it has " + Join(offered) + ")";
    if (reasons.empty()) {
        std::vector<std::string> desktop(std::begin(DesktopAudioDrivers),
                                         std::end(DesktopAudioDrivers));
        reasons =
            "this FluidSynth has none of " + Join(desktop) + " (it has " + Join(offered) + ")";
    }
    failure = "no audio output for the built-in synthesizer: " + reasons +
              "; choose another MIDI device or set PLINKORA_AUDIO_DRIVER";
    return nullptr;
}

} // namespace

std::string FindDefaultSoundFont() {
    QuietFluidSynth();
    std::string configured;
    if (fluid_settings_t* settings = new_fluid_settings()) {
        char* path = nullptr;
        if (fluid_settings_dupstr(settings, "synth.default-soundfont", &path) == FLUID_OK && path)
            configured = path;
        fluid_free(path);
        delete_fluid_settings(settings);
    }
    for (const std::string& candidate :
         {configured, std::string("/usr/share/sounds/sf2/default-GM.sf2"),
          std::string("/usr/share/sounds/sf3/default-GM.sf3"),
          std::string("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
          std::string("/usr/share/sounds/sf2/TimGM6mb.sf2"),
          std::string("/usr/share/soundfonts/default.sf2"),
          std::string("/usr/share/soundfonts/FluidR3_GM.sf2")})
        if (IsFile(candidate))
            return candidate;
    return {};
}

std::string SoundFontProblem(const std::string& soundFont) {
    if (soundFont.empty())
        return FindDefaultSoundFont().empty()
                   ? "No General MIDI soundfont is installed, so the built-in synthesizer (Midi "
                     "Mapper) cannot sound: install the package fluid-soundfont-gm, or name a "
                     "soundfont file in PLINKORA_SOUNDFONT."
                   : "";
    if (IsFile(soundFont) && IsSoundFontFile(soundFont))
        return {};
    return "The soundfont " + soundFont +
           " named in PLINKORA_SOUNDFONT is missing or is no soundfont file.";
}

struct TFluidSynthMapper::Synth {
    fluid_settings_t* Settings = nullptr;
    fluid_synth_t* Engine = nullptr;

    ~Synth() {
        if (Engine)
            delete_fluid_synth(Engine);
        if (Settings)
            delete_fluid_settings(Settings);
    }

    int32_t Load(const TFluidSynthOptions& options) {
        Settings = new_fluid_settings();
        if (!Settings)
            return MidiResult::NoMemory;
        for (const auto& [name, value] : options.Settings)
            if (!ApplySetting(Settings, name, value))
                return MidiResult::InvalidParameter;
        const std::string soundFont =
            options.SoundFont.empty() ? FindDefaultSoundFont() : options.SoundFont;
        if (!IsFile(soundFont) || !IsSoundFontFile(soundFont))
            return MidiResult::NoDriver;
        Engine = new_fluid_synth(Settings);
        if (!Engine)
            return MidiResult::NoMemory;
        if (fluid_synth_sfload(Engine, soundFont.c_str(), 1) == FLUID_FAILED)
            return MidiResult::NoDriver;
        return MidiResult::Ok;
    }
};

class TFluidSynthMapper::Device : public TMidiDevice {
public:
    Device(TFluidSynthMapper& mapper, fluid_audio_driver_t* driver)
        : mapper_(mapper), synth_(mapper.synth_->Engine), driver_(driver) {
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
    TFluidSynthMapper& mapper_;
    fluid_synth_t* synth_;
    fluid_audio_driver_t* driver_;
};

TFluidSynthMapper::TFluidSynthMapper(TFluidSynthOptions options) : options_(std::move(options)) {}

TFluidSynthMapper::~TFluidSynthMapper() = default;

int32_t TFluidSynthMapper::Open(std::unique_ptr<TMidiDevice>& device) {
    failure_.clear();
    if (deviceOpen_)
        return MidiResult::Allocated;
    QuietFluidSynth();
    QuietAlsaLibrary();
    if (!synth_) {
        auto synth = std::make_unique<Synth>();
        const int32_t result = synth->Load(options_);
        if (result != MidiResult::Ok)
            return result;
        synth_ = std::move(synth);
    }
    fluid_audio_driver_t* driver =
        StartAudioDriver(synth_->Settings, synth_->Engine, options_.AudioDrivers, failure_);
    if (!driver)
        return MidiResult::NoDevice;
    device = std::make_unique<Device>(*this, driver);
    return MidiResult::Ok;
}
