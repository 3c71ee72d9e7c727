#pragma once

#include "MidiPort.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

struct TFluidSynthOptions {
    // Soundfont to load; empty for the system's default General MIDI soundfont.
    std::string SoundFont;
    // FluidSynth settings by name, applied before anything starts, e.g. {"audio.driver",
    // "file"} and {"audio.file.name", path} to render into a file instead of a sound card.
    std::vector<std::pair<std::string, std::string>> Settings;
};

// The system's default General MIDI soundfont; empty when none is installed.
std::string FindDefaultSoundFont();

// Empty when the synthesizer has a soundfont to load: `soundFont` (a file chosen by the user),
// or when that is empty the system's default. Otherwise a plain message for the user.
std::string SoundFontProblem(const std::string& soundFont);

// The built-in General MIDI synthesizer behind device id -1 ("Midi Mapper"), sounding through
// FluidSynth's audio driver. The synthesizer and its soundfont are loaded on the first open and
// kept, so later opens only start the audio output again; notes still sounding are silenced
// when a device closes. One device is open at a time; a second open fails with Allocated.
// Opening fails with NoDriver when no soundfont can be loaded, with NoDevice when the audio
// output cannot start, and with InvalidParameter for a setting FluidSynth does not accept.
// FluidSynth's own messages are kept off standard error.
class TFluidSynthMapper {
public:
    explicit TFluidSynthMapper(TFluidSynthOptions options);
    ~TFluidSynthMapper();
    TFluidSynthMapper(const TFluidSynthMapper&) = delete;
    TFluidSynthMapper& operator=(const TFluidSynthMapper&) = delete;

    int32_t Open(std::unique_ptr<TMidiDevice>& device);

private:
    class Device;
    struct Synth;

    TFluidSynthOptions options_;
    std::unique_ptr<Synth> synth_;
    bool deviceOpen_ = false;
};
