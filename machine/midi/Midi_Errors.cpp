#include "Midi_Errors.h"

#include "MidiDebugLog.h"
#include "MidiPort.h"

#include <array>
#include <utility>

namespace {

std::string& DeviceBusyText() {
    static std::string text = " device already allocated ";
    return text;
}

// Code 4, the device-busy text, is replaceable and kept apart.
constexpr std::array<std::pair<int32_t, std::string_view>, 20> ErrorTexts{{
    {0, " no error "},
    {1, " unspecified error "},
    {2, " device ID out of range "},
    {3, " driver failed enable "},
    {5, " device handle is invalid "},
    {6, " no device driver present "},
    {7, " memory allocation error "},
    {8, " function is not supported "},
    {9, " error value out of range "},
    {10, " invalid flag passed "},
    {11, " invalid parameter passed "},
    {12, " handle being used simultaneously on another thread (eg callback) "},
    {64, " header not prepared "},
    {65, " still something playing "},
    {66, " no current map "},
    {67, " hardware is still busy "},
    {68, " port no longer connected "},
    {69, " invalid setup "},
    {70, " operation unsupported w/ open mode "},
    {71, " thru device \"eating\" a message "},
}};

} // namespace

std::string MidiErrorText(int32_t code) {
    if (code == MidiResult::Allocated)
        return DeviceBusyText();
    for (const auto& [known, text] : ErrorTexts)
        if (known == code)
            return std::string(text);
    return "Unknown MIDI Error";
}

void SetDeviceBusyText(std::string text) {
    DeviceBusyText() = std::move(text);
}

std::string LogMidiResult(TMidiDebugLog& log, std::string_view prefix, int32_t code,
                          std::string_view detail) {
    std::string text = MidiErrorText(code) + " #" + std::to_string(code);
    std::string line(prefix);
    line += ' ';
    line += text;
    if (!detail.empty()) {
        line += ": ";
        line += detail;
    }
    log.Append(std::move(line));
    return text;
}
