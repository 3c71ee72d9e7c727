#pragma once

#include "FluidSynthEngine.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

// Renders a Standard MIDI File offline into a sound file through the built-in General MIDI
// synthesizer (FluidSynth's player and file renderer, with the soundfont and settings of live
// playback), much faster than real time and without a sound card: 16-bit, 44,100 Hz, stereo.

struct TRenderRequest {
    std::string Midi;       // the MIDI file's bytes
    std::string OutputPath; // ends in .wav, .flac or .ogg
    TFluidSynthOptions Synth;
    // The bank of each channel 1..16 (index 0..15) before the file plays.
    std::array<int, 16> Banks{};
    // At least this long before the release tail (the song's track, also where it ends in a
    // rest); the music lasts at least until its last event.
    double MinimumSeconds = 0;
    // Told the share done (0..1) now and then; false cancels the render.
    std::function<bool(double done)> Progress;
};

struct TRenderResult {
    enum class TState { Written, Cancelled, Failed };
    TState State = TState::Failed;
    TUserMessage Fault; // why, when Failed (each program words it in its language)
    double Seconds = 0; // the sound written, release tail included
};

// The sound file types this FluidSynth can write, by file extension: "wav" always, "flac" and
// "ogg" where it was built with them.
std::vector<std::string> RenderableExtensions();

// The path ends in one of the RenderableExtensions (any case).
bool RenderableFile(const std::string& path);

// The render is written beside OutputPath and renamed over it once complete: a failure or a
// cancel leaves no file (and an old one as it was). Faults name the file, or for a missing
// soundfont PLINKORA_SOUNDFONT.
TRenderResult RenderMidi(const TRenderRequest& request);
