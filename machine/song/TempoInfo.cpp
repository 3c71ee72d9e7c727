#include "TempoInfo.h"

void SetTempo(TTempoInfo& tempo, int32_t stepTime) {
    tempo.MsPerStep = stepTime;
    tempo.MsPerQuarter = static_cast<uint16_t>(4 * stepTime);
    tempo.UsPerQuarter = 4000 * stepTime;
    tempo.Bpm = 60000000.0 / (4000.0 * stepTime);
    tempo.ClocksPerClick = static_cast<uint8_t>(6 * tempo.SigNumerator);
    tempo.ThirtySecondsPerQuarter = 8;
}
