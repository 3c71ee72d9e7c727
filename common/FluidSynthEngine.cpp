#include "FluidSynthEngine.h"

#include <charconv>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fluidsynth.h>
#include <fstream>
#include <mutex>
#include <string_view>

namespace {

// FluidSynth tells why something failed only in its log. While a TFluidErrorCapture lives, its
// thread points this at a string that takes the last error message; on every other thread
// (FluidSynth's audio threads, the playback tick) the log function only reads a null pointer,
// so it never allocates or locks there.
thread_local std::string* capturedError = nullptr;

void KeepError(int level, const char* message, void*) {
    if (capturedError && message)
        *capturedError = message;
    if (AudioLibraryMessagesWanted())
        fluid_default_log_function(level, message, nullptr);
}

void IgnoreJackMessage(const char*) {}

// JACK prints its messages itself unless given functions for them. Looked up at run time, so
// that a FluidSynth without JACK needs no JACK library.
void QuietJack() {
    using TJackMessage = void (*)(const char*);
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"})
        if (void* found = dlsym(RTLD_DEFAULT, name))
            reinterpret_cast<void (*)(TJackMessage)>(found)(&IgnoreJackMessage);
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

} // namespace

bool AudioLibraryMessagesWanted() {
    static const bool wanted = [] {
        const char* debug = std::getenv("PLINKORA_AUDIO_DEBUG");
        return debug && std::string_view(debug) == "1";
    }();
    return wanted;
}

void QuietFluidSynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        const bool shown = AudioLibraryMessagesWanted();
        for (int level = 0; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(
                level,
                level <= FLUID_ERR ? KeepError : (shown ? fluid_default_log_function : nullptr),
                nullptr);
        if (!shown)
            QuietJack();
    });
}

void KeepSoundServersFromStarting() {
    const char* set = std::getenv("JACK_NO_START_SERVER");
    if (!set || std::string_view(set) != "1")
        setenv("JACK_NO_START_SERVER", "1", 1);
}

TFluidSynthOptions SynthOptionsFromEnvironment() {
    TFluidSynthOptions options;
    if (const char* soundFont = std::getenv("PLINKORA_SOUNDFONT"))
        options.SoundFont = soundFont;
    if (const char* driver = std::getenv("PLINKORA_AUDIO_DRIVER"); driver && *driver)
        options.AudioDrivers = {driver};
    return options;
}

TFluidErrorCapture::TFluidErrorCapture(std::string& message) : previous_(capturedError) {
    capturedError = &message;
}

TFluidErrorCapture::~TFluidErrorCapture() {
    capturedError = previous_;
}

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

TUserMessage SoundFontProblem(const std::string& soundFont) {
    if (soundFont.empty())
        return FindDefaultSoundFont().empty() ? Message(TMessageKind::NoSoundFontInstalled)
                                              : TUserMessage{};
    if (IsFile(soundFont) && IsSoundFontFile(soundFont))
        return {};
    return Message(TMessageKind::BadSoundFont, {Plain(soundFont)});
}

TFluidSynthEngine::~TFluidSynthEngine() {
    if (Engine)
        delete_fluid_synth(Engine);
    if (Settings)
        delete_fluid_settings(Settings);
}

TFluidSynthEngine::TLoad TFluidSynthEngine::Load(const TFluidSynthOptions& options) {
    QuietFluidSynth();
    Settings = new_fluid_settings();
    if (!Settings)
        return TLoad::NoMemory;
    for (const auto& [name, value] : options.Settings)
        if (!ApplySetting(Settings, name, value))
            return TLoad::BadSetting;
    const std::string soundFont =
        options.SoundFont.empty() ? FindDefaultSoundFont() : options.SoundFont;
    if (!IsFile(soundFont) || !IsSoundFontFile(soundFont))
        return TLoad::NoSoundFont;
    Engine = new_fluid_synth(Settings);
    if (!Engine)
        return TLoad::NoMemory;
    if (fluid_synth_sfload(Engine, soundFont.c_str(), 1) == FLUID_FAILED)
        return TLoad::NoSoundFont;
    return TLoad::Ok;
}
