#include "MidiVoice.h"

uint32_t TMidiVoice::BuildMessage(int32_t value, int32_t status, int32_t data2) const {
    int32_t data1 = value + NoteBase[OutChannel & 15];
    if (status != 0xC0 + OutChannel)
        data1 += GlobalTranspose;
    // Plain sums, as the message word is defined; out-of-range inputs are not masked.
    return static_cast<uint32_t>(status) + static_cast<uint32_t>(data1) * 256u +
           static_cast<uint32_t>(data2) * 65536u;
}
