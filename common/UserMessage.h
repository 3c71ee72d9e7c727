#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A message for the user without its words: which message, and the values it names. The code
// that finds a fault (song files, MIDI and sound files, the synthesizer) says only this; the
// program words it in the user's language from its string table (the machine: MachineTexts, the
// controller: its language tables), so the engine stays free of any language.
enum class TMessageKind {
    Value, // no message of its own: a value (a path, a number, a library's text) shown as it is

    // Files: %1 is the file.
    CannotOpen,
    CannotCreate,
    CannotCreateBecause, // %2 why (a SystemReason)
    ReadError,
    NotSongFile,
    CannotCreateFolder,
    NotInteger,     // %1 the text that is no number
    TooLongForMidi, // the song's MIDI file would pass a size limit

    // Why the system refused (SystemReason); other reasons are the system's own text.
    NoSuchFileOrFolder,
    AccessDenied,
    DiskFull,
    ReadOnlyFileSystem,
    IsAFolder,

    // A song file's line: %1 the file, %2 the line number, %3 what is wrong there.
    SongFileLine,
    EndsBefore,            // %1 the item the file ends before
    TooFewValues,          // %1 the item, %2 the values it holds, %3 the values needed
    OutsideRange,          // %1 the value's name, %2 the value, %3 the lowest, %4 the highest
    NoNotes,               // %1 the pattern
    NegativeLineCount,     // %1 the count
    RangeNotAllowed,       // %1 the note range
    DenominatorNotAllowed, // %1 the denominator

    // The items of a song file, as EndsBefore and TooFewValues name them.
    ItemHeader,
    ItemStepTime,
    ItemPatternCount,
    ItemNoteLine,
    ItemSongLineCount,
    ItemSongLineList,
    ItemTranspositionLabel,
    ItemTranspositionList,
    ItemPatchLine,
    ItemDeviceLine,
    ItemChannelLine,
    ItemRangeLine,
    ItemTimeSignature,
    ItemSignatureSeparator,
    ItemSignatureDenominator,
    ItemGateLine,
    ItemLengthLine,
    ItemPatternName,
    ItemBank,

    // The values of a song file, as OutsideRange names them.
    ValueStepTime,
    ValuePatternCount,
    ValueNote,
    ValueSongLinePattern,
    ValuePatch,
    ValueChannel,
    ValueSignatureNumerator,
    ValueGate,
    ValueLength,
    ValueBank,

    // The built-in synthesizer and sound files.
    NoSoundFontInstalled,
    BadSoundFont,       // %1 the file named in PLINKORA_SOUNDFONT
    NoSoundFileType,    // %1 the file, %2 the endings that can be written
    SynthSettings,      // the synthesizer does not take its settings
    SynthMemory,        // the synthesizer could not start: out of memory
    MidiUnplayable,     // %1 why (FluidSynth's text, may be empty)
    NoAudioOutput,      // %1 the drivers tried and why each failed (FluidSynth's texts)
    AudioOutputPending, // the audio driver is still starting

    // The machine's own JACK port.
    JackNotRunning, // no JACK server answers
    JackGone,       // the JACK server went away while the port was open
    JackEnded,      // the same, as a status in a few words

    // Ableton Link.
    LinkTempoOutside, // %1 the session's tempo (BPM), %2 the tempo the machine plays instead

    // MIDI in.
    MidiClockLost,       // the leader's clock went silent: playback stopped
    MidiInputCannotOpen, // %1 the input, %2 why
    // A line of the MIDI control file skipped: %1 the file, %2 the line number, %3 why.
    MidiControlLine,
    // Why, %1 the line's text.
    MidiControlNotAssignment,
    MidiControlUnknownOperation,
    MidiControlUnknownMessage,
    MidiControlBadChannel,
    MidiControlBadNumber,
    MidiControlNeedsController,
    MidiControlAssignedTwice
};

struct TUserMessage {
    TMessageKind Kind = TMessageKind::Value;
    std::string Value;              // a Value's text
    std::vector<TUserMessage> Args; // %1, %2, ...: each a value or a message of its own

    // No message at all (an empty value): nothing to tell.
    bool Empty() const { return Kind == TMessageKind::Value && Value.empty(); }
    bool operator==(const TUserMessage&) const = default;
};

TUserMessage Plain(std::string value);
TUserMessage Plain(int64_t number);
TUserMessage Message(TMessageKind kind, std::vector<TUserMessage> args = {});

// Why the system refused an operation (errno): the common reasons as messages, others in the
// system's own words.
TUserMessage SystemReason(int error);

// The text of a message kind in some language, with %1, %2 ... where its arguments go.
using TMessageWording = std::function<std::string(TMessageKind)>;

// The message without words, for diagnosis: its kind's number and its arguments.
std::string DescribeMessage(const TUserMessage& message);

// The message in the wording's words: each argument is worded the same way and takes the place
// of its %n. A Value is its text.
std::string WordMessage(const TUserMessage& message, const TMessageWording& wording);
