#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// MIDI control: the operations a performer plays the machine with from a controller or a
// keyboard, the MIDI message assigned to each, the plain text file that keeps them, and what an
// incoming message asks for.
//
// The file holds one assignment a line, the operation's word, "=", then the message:
//   playsong = note 10 36      a note-on on channel 10, key 36
//   tempo = cc 1 74            controller 74 on channel 1
//   mute = none                nothing assigned (as a missing line)
// Channels run 1..16, note and controller numbers 0..127; "#" starts a comment; words may be in
// any case, blanks anywhere between the parts. Tempo, volume and transposition take a
// controller, whose value sets them over their range; the other operations take a note (its
// note-on triggers) or a controller (a value above 63 triggers).

enum class TMidiControlOperation {
    PlaySong,
    PlayPattern,
    Stop,
    NextPattern,
    PreviousPattern,
    Mute,
    Tempo,
    Volume,
    Transposition
};
inline constexpr int MidiControlOperationCount = 9;

// The operation's word in the file ("playsong", "tempo", ...).
std::string_view MidiControlWord(TMidiControlOperation operation);
// Tempo, volume and transposition: set to a controller's value rather than triggered.
bool TakesControllerValue(TMidiControlOperation operation);

enum class TMidiControlSource { Note, Controller };

struct TMidiAssignment {
    TMidiControlSource Source = TMidiControlSource::Note;
    int32_t Channel = 1; // 1..16
    int32_t Number = 0;  // the key or the controller, 0..127

    bool operator==(const TMidiAssignment&) const = default;
};

// One assignment or none per operation, indexed by the operation.
using TMidiControlMap = std::array<std::optional<TMidiAssignment>, MidiControlOperationCount>;

// Why a line of the file was skipped (the program words it).
enum class TMidiControlFault {
    NotAnAssignment,  // no "=", or not three parts after it
    UnknownOperation, // the word before "=" names no operation
    UnknownMessage,   // neither "note" nor "cc" (nor "none")
    BadChannel,       // not a number 1..16
    BadNumber,        // not a number 0..127
    NeedsController,  // a note for tempo, volume or transposition
    AssignedTwice     // the operation has an earlier line
};

struct TMidiControlProblem {
    int32_t Line = 0; // counted from 1
    std::string Text; // the line as it stands, at most MaxProblemText bytes of it
    TMidiControlFault Fault = TMidiControlFault::NotAnAssignment;

    bool operator==(const TMidiControlProblem&) const = default;
};

struct TMidiControlFile {
    TMidiControlMap Map;
    // The skipped lines, the first MaxReportedProblems of them.
    std::vector<TMidiControlProblem> Problems;
};

inline constexpr size_t MaxProblemText = 80;
inline constexpr size_t MaxReportedProblems = 20;

// Reads the file's text: every good line counts, a malformed one is skipped and reported.
TMidiControlFile ParseMidiControl(std::string_view text);
// The text of `map`: a comment telling the format, then one line per operation.
std::string MidiControlText(const TMidiControlMap& map);

// A missing file holds no assignments; a file that cannot be read throws FileError.
TMidiControlFile ReadMidiControlFile(const std::string& path);
// Replaces the file atomically; throws FileError when it cannot be written (the old file stays).
void WriteMidiControlFile(const std::string& path, const TMidiControlMap& map);

// What an incoming message asks of one operation; Value is the step time (ms) for tempo, the
// volume (0..127), the transposition (semitones), and 0 for a triggered operation.
struct TMidiControlAction {
    TMidiControlOperation Operation = TMidiControlOperation::Stop;
    int32_t Value = 0;

    bool operator==(const TMidiControlAction&) const = default;
};

// The actions a channel message (status, data1, data2) asks for under `map`, in the operations'
// order: a controller sets tempo over the tempo bar's positions, volume over 0..127 and
// transposition over TransposeFloor..`transposeCeiling`; a note-on (velocity above 0) or a
// controller value above 63 triggers the other operations.
std::vector<TMidiControlAction> MidiControlActions(const TMidiControlMap& map, uint8_t status,
                                                   uint8_t data1, uint8_t data2,
                                                   int32_t transposeCeiling);
