#include "scales.h"

namespace {

constexpr int32_t LowestKey = 35; // key of note value 0 at transposition 0
constexpr int32_t HighestRoot = 72;
constexpr int32_t SetBits = 128;

constexpr bool InScale(const std::array<int32_t, 7>& scale, int32_t key, int32_t v) {
    const int32_t distance = ((v + LowestKey) % 12 - key + 12) % 12;
    for (int32_t step : scale)
        if (step == distance)
            return true;
    return false;
}

constexpr TNoteSet BuildNoteSet(const std::array<int32_t, 7>& scale, int32_t key) {
    TNoteSet set{};
    set[0] = 1; // a rest always passes
    for (int32_t v = 1; v <= HighestRoot + key; ++v)
        if (InScale(scale, key, v))
            set[v / 32] |= 1u << (v % 32);
    return set;
}

// Major sets first, then minor; set k of a table is built on key k.
constexpr std::array<TNoteSet, ScaleModeCount * ScaleKeyCount> BuildScaleTable() {
    std::array<TNoteSet, ScaleModeCount * ScaleKeyCount> table{};
    for (int32_t key = 0; key < ScaleKeyCount; ++key) {
        table[key] = BuildNoteSet(MajorScale, key);
        table[ScaleKeyCount + key] = BuildNoteSet(MinorScale, key);
    }
    return table;
}

constexpr auto ScaleTable = BuildScaleTable();
constexpr TNoteSet EmptySet{};

static_assert(sizeof(ScaleTable) == 384);
// Major on C: 0 and the note values 1, 3, 5, 6, 8, 10, 12, 13, ...
static_assert((ScaleTable[0][0] & 0x3fffu) == 0b11'0101'0110'1011u);

bool SelectionValid(int32_t mode, int32_t key) {
    return mode >= 0 && mode < ScaleModeCount && key >= 0 && key < ScaleKeyCount;
}

} // namespace

const TNoteSet& ScaleSet(int32_t mode, int32_t key) {
    if (!SelectionValid(mode, key))
        return EmptySet;
    return ScaleTable[mode * ScaleKeyCount + key];
}

bool ScaleContains(int32_t mode, int32_t key, int32_t v) {
    if (v < 0 || v >= SetBits)
        return false;
    return (ScaleSet(mode, key)[v / 32] >> (v % 32) & 1u) != 0;
}

int32_t SnapToScale(int32_t v, bool down, int32_t mode, int32_t key) {
    if (!SelectionValid(mode, key) || ScaleContains(mode, key, v))
        return v;
    return down ? v - 1 : v + 1;
}
