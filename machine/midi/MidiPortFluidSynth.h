#pragma once

#include "MidiPort.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

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

// The system's default General MIDI soundfont; empty when none is installed.
std::string FindDefaultSoundFont();

// Empty when the synthesizer has a soundfont to load: `soundFont` (a file chosen by the user),
// or when that is empty the system's default. Otherwise a plain message for the user.
std::string SoundFontProblem(const std::string& soundFont);

// The built-in General MIDI synthesizer behind device id -1 ("Midi Mapper"), sounding through
// FluidSynth's audio driver. The synthesizer and its soundfont are loaded on the first open and
// kept, so later opens only start the audio output again; notes still sounding are silenced
// when a device closes. One device is open at a time; a second open fails with Allocated.
// Every open tries the audio drivers in order and keeps the first that starts.
// Opening fails with NoDriver when no soundfont can be loaded, with NoDevice when no audio
// driver starts, and with InvalidParameter for a setting FluidSynth does not accept.
// FluidSynth's own messages are kept off standard error; those of a failed driver go into
// Failure().
class TFluidSynthMapper {
public:
    explicit TFluidSynthMapper(TFluidSynthOptions options);
    ~TFluidSynthMapper();
    TFluidSynthMapper(const TFluidSynthMapper&) = delete;
    TFluidSynthMapper& operator=(const TFluidSynthMapper&) = delete;

    int32_t Open(std::unique_ptr<TMidiDevice>& device);

    // After an open that failed with NoDevice, what the user reads: "no audio output for the
    // built-in synthesizer: <the drivers tried and why each failed>; choose another MIDI device
    // or set PLINKORA_AUDIO_DRIVER". Empty after any other outcome.
    const std::string& Failure() const { return failure_; }

private:
    class Device;
    struct Synth;

    TFluidSynthOptions options_;
    std::unique_ptr<Synth> synth_;
    bool deviceOpen_ = false;
    std::string failure_;
};
