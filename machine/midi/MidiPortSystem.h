#pragma once

#include "MidiPort.h"
#include "MidiPortFluidSynth.h"

#include <memory>
#include <string>
#include <vector>

struct TSystemMidiOptions {
    // When not empty, every device opens onto this message log file instead of sounding.
    std::string LogPath;
    TFluidSynthOptions Mapper;
};

// Reads PLINKORA_MIDI_LOG (the message log file), PLINKORA_SOUNDFONT (the soundfont of the
// built-in synthesizer) and PLINKORA_AUDIO_DRIVER (the one audio driver it tries instead of the
// desktop drivers).
TSystemMidiOptions SystemMidiOptionsFromEnvironment();

// Why the built-in synthesizer of the port MakeSystemMidiPort makes cannot sound (a missing
// soundfont); empty when it can, and while the devices write to a message log.
TUserMessage SystemSoundFontProblem();

// The program's port: device -1 is the built-in FluidSynth synthesizer, devices 0..n-1 are the
// ALSA sequencer's output ports. The device list is looked up by DeviceCount and kept until
// the next DeviceCount.
class TSystemMidiPort : public TMidiPort {
public:
    explicit TSystemMidiPort(TSystemMidiOptions options);

    int32_t DeviceCount() override;
    std::string DeviceName(int32_t index) override;
    int32_t Open(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) override;
    TUserMessage OpenFailure() const override { return openFailure_; }

private:
    TSystemMidiOptions options_;
    TFluidSynthMapper mapper_;
    std::vector<std::string> names_;
    TUserMessage openFailure_;
};

// The port chosen at program start, set up from the environment.
std::unique_ptr<TMidiPort> MakeSystemMidiPort();
