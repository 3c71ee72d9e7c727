#pragma once

#include "MidiInput.h"
#include "MidiPort.h"

#include <memory>
#include <string>
#include <vector>

// Output and input ports of the ALSA sequencer, reached through RtMidi. Devices are numbered 0..n-1
// in the sequencer's order. Where no sequencer exists the list is empty; nothing here throws or
// writes to standard error.

// Keeps the ALSA library from printing its own error messages (unless PLINKORA_AUDIO_DEBUG is 1).
void QuietAlsaLibrary();

bool AlsaSequencerAvailable();

// Names of the output ports, each cut to MaxDeviceNameLength bytes.
std::vector<std::string> AlsaMidiOutputNames();

// Connects a new output of this program to port `index`.
int32_t OpenAlsaMidiOutput(int32_t index, std::unique_ptr<TMidiDevice>& device);

// Names of the input ports (the ports a program can read from), each cut to
// MaxDeviceNameLength bytes.
std::vector<std::string> AlsaMidiInputNames();

// An input of this program ("midi_in") connected to an ALSA input port. RtMidi's thread hands
// every message it receives to the sink, stamped with CLOCK_MONOTONIC_RAW when it took it; the
// leader's clock is kept, system exclusive and active sensing are ignored. Destruction stops
// that thread before it returns.
class TAlsaMidiInput {
public:
    virtual ~TAlsaMidiInput() = default;
};

// Connects a new input of this program to input port `index`, delivering into `sink`; on failure
// `input` stays empty.
int32_t OpenAlsaMidiInput(int32_t index, TMidiInputSink& sink,
                          std::unique_ptr<TAlsaMidiInput>& input);
