#pragma once

#include <cstdint>

// What one operation of the machine session changed. An operation reports the union of its
// changes once, when it is done; the windows refresh what they show of it.
using TChanges = uint32_t;

enum TChange : TChanges {
    chLoaded = 1u << 0,         // a song was loaded: the editors start over (entry 1, ...)
    chSongShape = 1u << 1,      // step count, pattern pool, names: anything may look different
    chName = 1u << 2,           // the song's name
    chSteps = 1u << 3,          // notes, gates, lengths or velocities of one or more patterns
    chPatterns = 1u << 4,       // a pattern was added to the pool
    chPatternName = 1u << 5,    // a pattern's name
    chTrack = 1u << 6,          // the song lines
    chCurrentPattern = 1u << 7, // the pattern that is edited and plays in pattern mode
    chSelectedLine = 1u << 8,   // the song line the track editor selects
    chTrackPosition = 1u << 9,  // the song line that plays, moved by an operation
    chTempo = 1u << 10,         // the step time
    chTransposition = 1u << 11, // the transposition of every pattern
    chChannel = 1u << 12,       // the output channel
    chPatch = 1u << 13,         // the program
    chBank = 1u << 14,          // the bank
    chDevice = 1u << 15,        // the output device
    chRange = 1u << 16,         // the note range
    chTransport = 1u << 17,     // playing or stopped, the play mode, the play toggle
    chMute = 1u << 18,          // muted or not
    chVolume = 1u << 19,        // the volume of new notes and of every velocity
    chKeyGrid = 1u << 20,       // the key grid
    chExportOptions = 1u << 21, // the MIDI export options
    chPreview = 1u << 22,       // the tone preview while playing
    chStartFailed = 1u << 23,   // the output could not be opened (TMachineSession::LastStart)
    chConnection = 1u << 24,    // linked to a controller, or renumbered
    chTimeSignature = 1u << 25, // the time signature
    chHistory = 1u << 26,       // what can be undone or redone
    chFollow = 1u << 27,        // whether the selected song line follows playback
    chRangeChosen = 1u << 28,   // a range was chosen, the same one too (the range menu, New):
                                // the pattern editor's fill pitch starts over
    chSync = 1u << 29,          // sending MIDI clock, following the JACK transport, Link, the
                                // MIDI input and what it is used for (clock, control, keyboard)
    chDeviceGone = 1u << 30,    // the open device's server went away (JACK): the device was
                                // closed, the device list looked up again
    chLink = 1u << 31,          // the Link session's peers, or what the status line says of it
};

// Everything a new song (load, New) may change.
inline constexpr TChanges chNewSong =
    chSongShape | chName | chSteps | chPatterns | chPatternName | chTrack | chCurrentPattern |
    chSelectedLine | chTrackPosition | chTempo | chTransposition | chChannel | chPatch | chBank |
    chDevice | chRange | chKeyGrid | chExportOptions | chTimeSignature;
