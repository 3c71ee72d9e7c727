#pragma once

#include "MidiPort.h"

#include <memory>
#include <string>

// A device that writes every call as one line to a file instead of sounding, for tests and
// diagnosis. Lines, each ending with LF, start with microseconds of the monotonic clock:
//   <us> open <device id>
//   <us> short <status> <data1> <data2>     (two-digit upper-case hexadecimal bytes)
//   <us> reset
//   <us> close
// The file is appended to. Each line is formatted on the stack with the time of the call and
// handed to the device's writer thread, which writes it at once: the lines waiting when it
// looks (those of one playback moment) with one write call, so lines of several devices
// writing to one file never mix; sending neither allocates, locks nor waits for the file. Should
// the writer fall 8192 lines behind, further lines are counted and a line
// "<us> dropped <count>" says so. A failed write makes the following calls fail with
// Unspecified; a log that cannot be created or written fails to open with NoDriver.
int32_t OpenLogMidiDevice(const std::string& path, int32_t deviceId,
                          std::unique_ptr<TMidiDevice>& device);
