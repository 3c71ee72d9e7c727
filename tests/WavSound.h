#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The sound of a 16-bit PCM WAV file, for tests of rendered files.
struct TWavSound {
    int Channels = 0;
    int Rate = 0;
    int Bits = 0;
    std::vector<int16_t> Samples; // interleaved

    long Frames() const { return Channels ? long(Samples.size()) / Channels : 0; }
    double Seconds() const { return Rate ? double(Frames()) / Rate : 0; }
    // The first frame louder than the last bit (the synthesizer's effects leave an offset of
    // one step, far below hearing); -1 for silence.
    long FirstSoundFrame() const {
        for (size_t i = 0; i < Samples.size(); ++i)
            if (Samples[i] > 1 || Samples[i] < -1)
                return long(i) / Channels;
        return -1;
    }
};

// Reads the fmt and data chunks; empty (no channels) when the bytes are no RIFF WAVE file.
inline TWavSound ReadWav(const std::string& file) {
    TWavSound sound;
    const auto number = [&](size_t at, int bytes) {
        uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | static_cast<uint8_t>(file[at + i]);
        return value;
    };
    if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WAVE") != 0)
        return sound;
    for (size_t at = 12; at + 8 <= file.size();) {
        const std::string id = file.substr(at, 4);
        const size_t size = number(at + 4, 4);
        const size_t body = at + 8;
        if (id == "fmt " && body + 16 <= file.size()) {
            sound.Channels = int(number(body + 2, 2));
            sound.Rate = int(number(body + 4, 4));
            sound.Bits = int(number(body + 14, 2));
        } else if (id == "data") {
            const size_t bytes = std::min(size, file.size() - body) / 2 * 2;
            sound.Samples.resize(bytes / 2);
            std::memcpy(sound.Samples.data(), file.data() + body, bytes);
        }
        at = body + size + (size & 1);
    }
    return sound;
}
