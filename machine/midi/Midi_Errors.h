#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TMidiDebugLog;

// The text of a MIDI result code; "Unknown MIDI Error" for codes without one.
std::string MidiErrorText(int32_t code);

// Replaces the text of code 4 (device already allocated), which the user sees in a message box;
// the windows install their translation at start-up. User-interface thread only.
void SetDeviceBusyText(std::string text);

// Appends prefix + " " + text to the debugger log and returns text, where text is
// MidiErrorText(code) + " #" + code. A detail (the port's own explanation of a failure) follows
// on the same line after ": ".
std::string LogMidiResult(TMidiDebugLog& log, std::string_view prefix, int32_t code,
                          std::string_view detail = {});
