#include "MidiPort.h"

namespace {

// Bytes on the wire for a status byte, 0 for statuses a short message cannot carry.
uint8_t MessageLength(uint8_t status) {
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
        return 2;
    case 0xF0:
        break;
    default:
        return 3;
    }
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    case 0xF6:
    case 0xF8:
    case 0xFA:
    case 0xFB:
    case 0xFC:
    case 0xFE:
    case 0xFF:
        return 1;
    default:
        return 0; // system exclusive and undefined statuses
    }
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

bool SplitShortMessage(uint32_t message, TShortMessage& out) noexcept {
    const uint8_t status = message & 0xFF;
    if (status < 0x80)
        return false;
    out.Bytes[0] = status;
    out.Bytes[1] = (message >> 8) & 0xFF;
    out.Bytes[2] = (message >> 16) & 0xFF;
    out.Length = MessageLength(status);
    if (out.Length == 0)
        return false;
    for (uint8_t i = 1; i < out.Length; ++i)
        if (out.Bytes[i] > 0x7F)
            return false;
    return true;
}

std::string CutDeviceName(std::string name) {
    if (name.size() <= MaxDeviceNameLength)
        return name;
    size_t length = MaxDeviceNameLength;
    while (length > 0 && IsUtf8Continuation(name[length]))
        --length;
    name.resize(length);
    return name;
}

std::vector<std::string> OutputDeviceList(TMidiPort& port) {
    std::vector<std::string> list{"Midi Mapper"};
    const int32_t count = port.DeviceCount();
    for (int32_t i = 0; i < count; ++i)
        list.push_back(CutDeviceName(port.DeviceName(i)));
    return list;
}
