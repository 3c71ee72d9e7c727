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
// The file is appended to. Lines collect in a fixed buffer that is written out when it fills
// and on close, so sending neither allocates nor formats through streams.
int32_t OpenLogMidiDevice(const std::string& path, int32_t deviceId,
                          std::unique_ptr<TMidiDevice>& device);
