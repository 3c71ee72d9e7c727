#pragma once

#include "song/Melodies.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TPkSong;
struct TTempoInfo;
struct TMidiVoice;

// Standard MIDI File export: the whole track, every song line once, as a format 0 file with one
// track whose tick is one millisecond. The notes are the ready-made pattern timelines, so the
// file holds exactly what playback would send.

inline constexpr char ExporterText[] = "Created with Plinkora"; // the text meta event, always
inline constexpr char DefaultTrackName[] = "Plinkora";
inline constexpr char DefaultInstrumentName[] = "Acoustic Grand Piano";
inline constexpr char DefaultCopyrightLine[] = "(C) All rights reserved";

// A timeline message word at or below this value is not written: it drops the empty messages of
// rests and held steps.
inline constexpr uint32_t SkippedMessageLimit = 10000;

// Largest value of a variable-length quantity (four bytes).
inline constexpr uint32_t MaxVarLen = 0x0FFFFFFF;

// The export options. Texts are UTF-8; the file holds them in Windows-1252, as the song file does.
struct TExportOptions {
    bool ProgramChange = true;
    bool Monophone = false; // export on MIDI channel 1
    bool TrackNameOn = true;
    std::string TrackName = DefaultTrackName;
    bool CopyrightOn = true;
    std::string Copyright = DefaultCopyrightLine;
    bool InstrumentOn = true;
    std::string Instrument = DefaultInstrumentName;
    // Marks of manual editing: while set, the program does not overwrite that text on its own.
    bool TrackNameEdited = false;
    bool InstrumentEdited = false;

    bool operator==(const TExportOptions&) const = default;
};

// After a new song: the track name becomes the song name ("Plinkora" for a song still carrying
// the new-song name), the copyright and instrument texts are set, both marks are cleared. The
// check boxes keep their state.
void ResetExportOptions(TExportOptions& options, const std::string& songName,
                        const std::string& instrumentName,
                        const std::string& copyrightLine = DefaultCopyrightLine);

// One event of the export: message word and time in milliseconds from the song start.
using TExportEvent = TMelodyEvent;

// The note events a song's file holds, in order: every song line in track order, each its
// pattern's timeline shifted by the line's start; only messages above SkippedMessageLimit are
// kept. A song line naming a pattern without a timeline is silent. Throws FileError when the
// song lasts longer than 2^32 - 1 ms. (The export itself encodes each pattern once and copies
// it line after line; this list is the plain statement of what that must give.)
std::vector<TExportEvent> CollectSongEvents(const TPkSong& song, const TMelodies& melodies);

// delta[0] = time of event 0, delta[k] = time[k] - time[k-1] (0 if the times ever went back).
std::vector<uint32_t> MakeDeltaTimes(std::span<const TExportEvent> events);

// Appends value (at most MaxVarLen) as a variable-length quantity: 7 bits a byte, most
// significant group first, bit 7 set on every byte but the last.
void AppendVarLen(std::string& bytes, uint32_t value);

// What WriteMidiFile needs besides the two lists. channel is 1..16; device is the song's device
// (-1 = none), written as the device list index device + 1; patch is the program number.
struct TMidiFileSettings {
    int32_t Patch = 0;
    int32_t Channel = 1;
    int32_t Device = -1;
};

// The complete file in memory. A delta above MaxVarLen is split with empty text events, so the
// timing stays exact. events and deltas have the same length.
std::string BuildMidiFile(std::span<const TExportEvent> events, std::span<const uint32_t> deltas,
                          const TTempoInfo& tempo, const TExportOptions& options,
                          const TMidiFileSettings& settings);

// Builds the file and replaces `path` atomically. Throws FileError ("Cannot create file <path>");
// an existing file then stays as it was.
void WriteMidiFile(const std::string& path, std::span<const TExportEvent> events,
                   std::span<const uint32_t> deltas, const TTempoInfo& tempo,
                   const TExportOptions& options, const TMidiFileSettings& settings);

// The whole MIDI file of the song, in memory. With the monophone option the timelines are built
// on channel 1 for it and restored afterwards.
std::string SongMidiFile(const TPkSong& song, TMelodies& melodies, TMidiVoice& voice,
                         const TTempoInfo& tempo, const TExportOptions& options);

// The whole export of the song to StripExtension(chosenPath) + ".mid", which it returns. The
// bytes go to a new file beside it as they are made (the file never stands whole in memory) and
// replace the old file atomically once complete. With
// the monophone option the timelines are rebuilt on channel 1 for the export; the voice's
// channel and the timelines are restored afterwards, also when the export throws. song.Channel
// is never touched.
std::string ExportSongToMidi(const TPkSong& song, TMelodies& melodies, TMidiVoice& voice,
                             const TTempoInfo& tempo, const TExportOptions& options,
                             const std::string& chosenPath);
