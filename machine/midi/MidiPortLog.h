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
// The file is appended to. Each line is formatted on the stack and written with one write
// call as the call happens, so it is in the file when the call returns (lines of several
// devices writing to one file never mix), and sending neither allocates nor locks. A failed
// write makes that call fail with Unspecified; a log that cannot be created or written fails
// to open with NoDriver.
int32_t OpenLogMidiDevice(const std::string& path, int32_t deviceId,
                          std::unique_ptr<TMidiDevice>& device);
