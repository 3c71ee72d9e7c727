#pragma once

#include "UserMessage.h"

#include <string>
#include <utility>
#include <vector>

// FluidSynth as both programs use it: the General MIDI soundfont, the settings, and a
// synthesizer made from them (live behind the machine's "Midi Mapper", offline when a song or
// a project is rendered to a sound file).

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

struct TFluidSynthOptions {
    // Soundfont to load; empty for the system's default General MIDI soundfont.
    std::string SoundFont;
    // The audio drivers to try, in this order, e.g. {"file"} with the setting
    // {"audio.file.name", path} to render into a file instead of a sound card. Empty: those of
    // DesktopAudioDrivers that this FluidSynth offers. Each try sets "audio.driver" itself, so
    // that setting is not taken from Settings.
    std::vector<std::string> AudioDrivers;
    // FluidSynth settings by name, applied before anything starts.
    std::vector<std::pair<std::string, std::string>> Settings;
};

// The audio drivers a Linux desktop may have, in the order they are tried: a sound server
// first (PipeWire, or PulseAudio, which PipeWire also serves), then the sound card itself,
// then JACK and SDL.
inline constexpr const char* DesktopAudioDrivers[] = {"pipewire", "pulseaudio", "alsa", "jack",
                                                      "sdl2"};

// The soundfont of PLINKORA_SOUNDFONT and the one audio driver of PLINKORA_AUDIO_DRIVER, when
// set: live playback and rendering use the same.
TFluidSynthOptions SynthOptionsFromEnvironment();

// The system's default General MIDI soundfont; empty when none is installed.
std::string FindDefaultSoundFont();

// Empty when the synthesizer has a soundfont to load: `soundFont` (a file chosen by the user),
// or when that is empty the system's default. Otherwise the message for the user.
TUserMessage SoundFontProblem(const std::string& soundFont);

// The audio libraries' own messages (FluidSynth's, JACK's, ALSA's) reach standard error only
// when PLINKORA_AUDIO_DEBUG is 1; otherwise they stay out of the terminal.
bool AudioLibraryMessagesWanted();

// FluidSynth's and JACK's messages stay off standard error unless wanted (FluidSynth's errors
// can be captured all the same).
void QuietFluidSynth();

// Trying an audio driver must never start a sound server as a side effect: JACK's client starts
// one when none runs, unless JACK_NO_START_SERVER is set. Sets it; call before a driver is made.
void KeepSoundServersFromStarting();

// While it lives, FluidSynth's last error message on this thread goes into `message`.
class TFluidErrorCapture {
public:
    explicit TFluidErrorCapture(std::string& message);
    ~TFluidErrorCapture();
    TFluidErrorCapture(const TFluidErrorCapture&) = delete;
    TFluidErrorCapture& operator=(const TFluidErrorCapture&) = delete;

private:
    std::string* previous_;
};

// A synthesizer with the options' settings and soundfont.
class TFluidSynthEngine {
public:
    enum class TLoad { Ok, NoMemory, BadSetting, NoSoundFont };

    TFluidSynthEngine() = default;
    ~TFluidSynthEngine();
    TFluidSynthEngine(const TFluidSynthEngine&) = delete;
    TFluidSynthEngine& operator=(const TFluidSynthEngine&) = delete;

    TLoad Load(const TFluidSynthOptions& options);

    fluid_settings_t* Settings = nullptr;
    fluid_synth_t* Engine = nullptr;
};
