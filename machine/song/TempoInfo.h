#pragma once

#include <cstdint>

// Tempo values derived from the step length, kept together for playback and MIDI export.
// A quarter note is four steps.
struct TTempoInfo {
    double Bpm = 75.0;
    uint16_t MsPerQuarter = 800;
    int32_t UsPerQuarter = 800000;
    int32_t MsPerStep = 200;
    uint8_t SigNumerator = 4;
    uint8_t SigDenominator = 4;
    uint8_t ClocksPerClick = 24;
    uint8_t ThirtySecondsPerQuarter = 8;
};

// Derives every tempo value from a step length of stepTime milliseconds.
void SetTempo(TTempoInfo& tempo, int32_t stepTime);
