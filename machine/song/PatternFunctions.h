#pragma once

#include "SongModel.h"
#include "scales.h"

#include <random>

class TMelodies;
struct TMidiVoice;

// Whole-pattern operations and the lowest-note scan that guards shifting down (the pattern
// number check and the highest-note scan belong to the song model). Patterns are 1-based;
// only steps 1..Steps are touched. Every operation that changes notes, gates, lengths or
// velocities rebuilds the affected timelines before it returns.
//
// Window and output side effects stay with the callers: resetting the MIDI output, making a new
// pattern current, refreshing the pattern editor, its pattern selector and the statistics.
// A pattern number outside 1..PatternCount, or an input no control can give, is refused: the
// operation changes no step and no timeline and reports it through its result.

constexpr int32_t NoPattern = 0;

// Appends pattern n = PatternCount + 1 named "(n) " with transposition `transposition`, every
// step a one-step note of `fillPitch` at `volume`. Returns n, which the caller makes current, or
// NoPattern when the pool already holds MaxPatterns patterns or an input is out of range.
int32_t AddPattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t fillPitch,
                   uint8_t volume, int32_t transposition);

// Appends a copy of pattern p named "(n) copy of p": its steps, and its timeline as it stands
// (built afresh only when p has none). Returns n, which the caller makes current, or NoPattern
// when refused as AddPattern is or p is no pattern.
int32_t CopyPattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p,
                    int32_t transposition);

// Every step of p becomes a one-step note of value v (0..Range) at `volume`. False if refused.
bool FillPattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p, int32_t v,
                 uint8_t volume);

// Every step of p becomes a one-step note of a random value 0..Range - 1, snapped down onto the
// selected scale while the key grid is ticked; velocities stay. The first form reseeds from the
// clock at every call. False if refused.
bool RandomizePattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p,
                      const TKeyGrid& grid);
bool RandomizePattern(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p,
                      const TKeyGrid& grid, std::mt19937& random);

// Every sounding note of p one semitone higher; refused when a note already reaches Range.
// True when shifted: the caller then unticks the key grid (the notes left it), resets the
// output and reloads the editor.
bool ShiftPatternUp(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p);

// Every sounding note of p one semitone lower; refused when a note is already 1. Result as
// ShiftPatternUp.
bool ShiftPatternDown(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p);

// Moves the note on the first step, whole, to the end of p (as many one-step rotations as its
// length). False if refused.
bool RotatePatternLeft(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p);

// Moves the note on the last step, whole, to the front of p. False if refused.
bool RotatePatternRight(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, int32_t p);

// Every step of every pattern gets velocity v (0..127). False if refused.
bool SetAllVelocities(TPkSong& song, TMelodies& melodies, const TMidiVoice& voice, uint8_t v);

// Changes the length of the note that starts at step s of pattern p to n steps (1..Steps - s + 1),
// on the song alone: the steps it now covers hold its pitch; steps it gives up become one-step
// notes of that pitch; a following note that it cuts into keeps its remaining steps as a shorter
// note of its own pitch right after the new end. The caller rebuilds the timeline. False (nothing
// changed) when p, s or n is out of range.
bool SetNoteLength(TPkSong& song, int32_t p, int32_t s, int32_t n);

// Smallest non-zero note value of pattern p (127 when all are rests, or p is no pattern);
// narrows song.MinNote.
int32_t PatternLowestNote(TPkSong& song, int32_t p);
