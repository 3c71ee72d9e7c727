#pragma once

#include "MidiPort.h"

#include <memory>
#include <string>
#include <vector>

// Output ports of the ALSA sequencer, reached through RtMidi. Devices are numbered 0..n-1 in
// the sequencer's order. Where no sequencer exists the list is empty; nothing here throws or
// writes to standard error.

// Keeps the ALSA library from printing its own error messages (unless PLINKORA_AUDIO_DEBUG is 1).
void QuietAlsaLibrary();

bool AlsaSequencerAvailable();

// Names of the output ports, each cut to MaxDeviceNameLength bytes.
std::vector<std::string> AlsaMidiOutputNames();

// Connects a new output of this program to port `index`.
int32_t OpenAlsaMidiOutput(int32_t index, std::unique_ptr<TMidiDevice>& device);
