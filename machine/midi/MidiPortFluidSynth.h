#pragma once

#include "FluidSynthEngine.h"
#include "MidiPort.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

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

    TFluidSynthOptions options_;
    std::unique_ptr<TFluidSynthEngine> synth_;
    bool deviceOpen_ = false;
    std::string failure_;
};
