#include "ExportMidi.h"

#include "AtomicFile.h"
#include "FileError.h"
#include "GetPureFilename.h"
#include "SafeFile.h"
#include "Windows1252.h"
#include "song/MidiVoice.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

constexpr size_t TrackLengthOffset = 18; // after the 14-byte header and "MTrk"
constexpr size_t TrackStart = 22;        // first byte after the track length
constexpr size_t MetaEventsSize = 64;    // every event but the note events and the option texts
constexpr uint8_t MetaText = 0x01;
constexpr uint8_t MetaCopyright = 0x02;
constexpr uint8_t MetaTrackName = 0x03;
constexpr uint8_t MetaInstrument = 0x04;
constexpr uint8_t MetaChannelPrefix = 0x20;
constexpr uint8_t MetaPort = 0x21;
constexpr uint8_t MetaEndOfTrack = 0x2F;
constexpr uint8_t MetaTempo = 0x51;
constexpr uint8_t MetaTimeSignature = 0x58;
constexpr size_t FillerSize = 4 + 3; // delta of MaxVarLen, then an empty text event

// The timeline of one pattern without its skipped messages.
struct TSoundingEvents {
    std::vector<TExportEvent> Events;
    uint32_t LastTime = 0;
};

TSoundingEvents SoundingEvents(const TMelodies& melodies, int32_t x, int32_t steps) {
    TSoundingEvents kept;
    const int32_t count = std::min(melodies.EventCount(x), 2 * steps);
    for (int32_t e = 0; e < count; ++e) {
        const TExportEvent event = melodies.Event(x, e);
        if (event.Message > SkippedMessageLimit) {
            kept.Events.push_back(event);
            kept.LastTime = std::max(kept.LastTime, event.Time);
        }
    }
    return kept;
}

size_t VarLenSize(uint32_t value) {
    size_t size = 1;
    while (value >>= 7)
        ++size;
    return size;
}

size_t DeltaSize(uint32_t delta) {
    const size_t fillers = delta == 0 ? 0 : (delta - 1) / MaxVarLen; // as PutNoteEvents does
    return fillers * FillerSize + VarLenSize(delta - static_cast<uint32_t>(fillers) * MaxVarLen);
}

void AppendByte(std::string& bytes, uint32_t value) {
    bytes.push_back(static_cast<char>(value & 0xFF));
}

void AppendBigEndian(std::string& bytes, uint32_t value, int byteCount) {
    for (int shift = 8 * (byteCount - 1); shift >= 0; shift -= 8)
        AppendByte(bytes, value >> shift);
}

void AppendMeta(std::string& bytes, uint8_t type, std::string_view data) {
    bytes.append({'\0', '\xFF', static_cast<char>(type)});
    data = data.substr(0, MaxVarLen);
    AppendVarLen(bytes, static_cast<uint32_t>(data.size()));
    bytes.append(data);
}

void AppendMeta(std::string& bytes, uint8_t type, std::initializer_list<uint8_t> data) {
    bytes.append({'\0', '\xFF', static_cast<char>(type), static_cast<char>(data.size())});
    for (uint8_t byte : data)
        AppendByte(bytes, byte);
}

uint8_t Log2(uint32_t value) {
    uint8_t power = 0;
    while (value >>= 1)
        ++power;
    return power;
}

void AppendHeader(std::string& bytes, const TTempoInfo& tempo) {
    bytes.append("MThd");
    AppendBigEndian(bytes, 6, 4);
    AppendBigEndian(bytes, 0, 2); // format 0
    AppendBigEndian(bytes, 1, 2); // one track
    AppendBigEndian(bytes, tempo.MsPerQuarter, 2);
}

void AppendFixedEvents(std::string& bytes, const TTempoInfo& tempo,
                       const TMidiFileSettings& settings) {
    AppendMeta(bytes, MetaTimeSignature,
               {tempo.SigNumerator, Log2(tempo.SigDenominator), tempo.ClocksPerClick,
                tempo.ThirtySecondsPerQuarter});
    const auto us = static_cast<uint32_t>(tempo.UsPerQuarter);
    AppendMeta(
        bytes, MetaTempo,
        {static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)});
    AppendMeta(bytes, MetaPort, {static_cast<uint8_t>(settings.Device + 1)});
    AppendMeta(bytes, MetaChannelPrefix, {static_cast<uint8_t>((settings.Channel - 1) & 0x0F)});
}

void AppendOptionalEvents(std::string& bytes, const TExportOptions& options,
                          const TMidiFileSettings& settings) {
    if (options.ProgramChange) {
        AppendByte(bytes, 0);
        AppendByte(bytes, 0xC0 + ((settings.Channel - 1) & 0x0F));
        AppendByte(bytes, settings.Patch & 0x7F);
    }
    // Texts the code page cannot hold show as '?'.
    if (options.TrackNameOn)
        AppendMeta(bytes, MetaTrackName, Utf8ToWindows1252(options.TrackName));
    if (options.CopyrightOn)
        AppendMeta(bytes, MetaCopyright, Utf8ToWindows1252(options.Copyright));
    if (options.InstrumentOn)
        AppendMeta(bytes, MetaInstrument, Utf8ToWindows1252(options.Instrument));
    AppendMeta(bytes, MetaText, std::string_view(ExporterText));
}

size_t NoteEventsSize(std::span<const uint32_t> deltas) {
    size_t size = 0;
    for (uint32_t delta : deltas)
        size += DeltaSize(delta) + 3;
    return size;
}

char* PutVarLen(char* at, uint32_t value) {
    for (int shift = 7 * (static_cast<int>(VarLenSize(value)) - 1); shift > 0; shift -= 7)
        *at++ = static_cast<char>(0x80 | ((value >> shift) & 0x7F));
    *at++ = static_cast<char>(value & 0x7F);
    return at;
}

// A delta longer than a delta can say waits with empty text events first.
char* PutDelta(char* at, uint32_t delta) {
    while (delta > MaxVarLen) {
        at = PutVarLen(at, MaxVarLen);
        *at++ = '\xFF';
        *at++ = static_cast<char>(MetaText);
        *at++ = '\0';
        delta -= MaxVarLen;
    }
    return PutVarLen(at, delta);
}

char* PutMessage(char* at, uint32_t message) {
    *at++ = static_cast<char>(message & 0xFF);
    *at++ = static_cast<char>((message >> 8) & 0xFF);
    *at++ = static_cast<char>((message >> 16) & 0xFF);
    return at;
}

// Writes the note events to `at`, which has room for exactly NoteEventsSize(deltas) bytes;
// returns the end of what it wrote.
char* PutNoteEvents(char* at, std::span<const TExportEvent> events,
                    std::span<const uint32_t> deltas) {
    for (size_t k = 0; k < events.size(); ++k)
        at = PutMessage(PutDelta(at, deltas[k]), events[k].Message);
    return at;
}

// One pattern's sounding events, encoded once: the first event's message, then every further
// event with its delta as MakeDeltaTimes counts it within the pattern. A song line whose first
// event comes no earlier than everything before it continues exactly so, after its own delta.
struct TEncodedPattern {
    TSoundingEvents Sounding;
    std::string Body;
};

TEncodedPattern EncodePattern(TSoundingEvents sounding) {
    TEncodedPattern pattern{std::move(sounding), {}};
    const std::vector<TExportEvent>& events = pattern.Sounding.Events;
    if (events.empty())
        return pattern;
    const std::vector<uint32_t> deltas = MakeDeltaTimes(events);
    const auto rest = std::span(events).subspan(1);
    const auto restDeltas = std::span(deltas).subspan(1);
    pattern.Body.resize(3 + NoteEventsSize(restDeltas));
    char* end =
        PutNoteEvents(PutMessage(pattern.Body.data(), events.front().Message), rest, restDeltas);
    if (end != pattern.Body.data() + pattern.Body.size())
        throw std::logic_error("MIDI pattern events did not fill their room");
    return pattern;
}

// The note events of the song, line after line, handed to `out` (Delta, Copy, Message) in the
// order of the file. Times follow MakeDeltaTimes' rule over the whole song. Throws FileError
// when the song lasts longer than 2^32 - 1 ms.
template <typename TOut>
void WalkSongNotes(const TPkSong& song, const std::vector<TEncodedPattern>& patterns, TOut& out) {
    const int32_t lines =
        std::min<int32_t>(song.SonglineCount, static_cast<int32_t>(song.Songlines.size()) - 1);
    const uint64_t lineLength = uint64_t(song.Steps) * uint64_t(std::max(song.StepTime, 0));
    uint32_t previous = 0; // the latest time written so far
    uint64_t offset = 0;
    for (int32_t i = 1; i <= lines; ++i, offset += lineLength) {
        const int32_t q = song.Songlines[static_cast<size_t>(i)];
        if (q < 1 || q > static_cast<int32_t>(patterns.size()))
            continue; // a song line naming a pattern without a timeline is silent
        const TEncodedPattern& pattern = patterns[static_cast<size_t>(q - 1)];
        const std::vector<TExportEvent>& events = pattern.Sounding.Events;
        if (events.empty())
            continue;
        if (offset + pattern.Sounding.LastTime > std::numeric_limits<uint32_t>::max())
            throw FileError(Message(TMessageKind::TooLongForMidi));
        const auto at = static_cast<uint32_t>(offset);
        if (at + events.front().Time >= previous) {
            out.Delta(at + events.front().Time - previous);
            out.Copy(pattern.Body);
            previous = at + pattern.Sounding.LastTime;
            continue;
        }
        for (const TExportEvent& event : events) { // the line starts before the last one ended
            const uint32_t time = at + event.Time;
            out.Delta(time >= previous ? time - previous : 0);
            out.Message(event.Message);
            previous = std::max(previous, time);
        }
    }
}

struct TNoteBytesCount {
    size_t Size = 0;
    void Delta(uint32_t delta) { Size += DeltaSize(delta); }
    void Copy(const std::string& bytes) { Size += bytes.size(); }
    void Message(uint32_t) { Size += 3; }
};

struct TNoteBytesWriter {
    char* At;
    void Delta(uint32_t delta) { At = PutDelta(At, delta); }
    void Copy(const std::string& bytes) {
        std::memcpy(At, bytes.data(), bytes.size());
        At += bytes.size();
    }
    void Message(uint32_t message) { At = PutMessage(At, message); }
};

constexpr char EndOfTrack[] = {'\0', '\xFF', static_cast<char>(MetaEndOfTrack), '\0'};

// Everything before the note events of a track of `noteBytes` note bytes: the header, the
// track's length and its fixed and optional events.
std::string FileStart(const TTempoInfo& tempo, const TExportOptions& options,
                      const TMidiFileSettings& settings, size_t noteBytes, size_t reserve) {
    std::string bytes;
    bytes.reserve(reserve);
    AppendHeader(bytes, tempo);
    bytes.append("MTrk");
    AppendBigEndian(bytes, 0, 4); // the track length, filled in below
    AppendFixedEvents(bytes, tempo, settings);
    AppendOptionalEvents(bytes, options, settings);
    const size_t trackLength = bytes.size() - TrackStart + noteBytes + sizeof EndOfTrack;
    if (trackLength > std::numeric_limits<uint32_t>::max())
        throw FileError(Message(TMessageKind::TooLongForMidi));
    std::string length;
    AppendBigEndian(length, static_cast<uint32_t>(trackLength), 4);
    bytes.replace(TrackLengthOffset, 4, length);
    return bytes;
}

// The complete file around `noteBytes` bytes of note events, which `putNotes(at)` writes to
// `at`, returning the end of what it wrote.
template <typename TPutNotes>
std::string BuildFile(const TTempoInfo& tempo, const TExportOptions& options,
                      const TMidiFileSettings& settings, size_t noteBytes, TPutNotes putNotes) {
    // UTF-8 sizes: the Windows-1252 texts are never longer.
    const size_t texts = options.TrackName.size() + options.Copyright.size() +
                         options.Instrument.size() + sizeof ExporterText;
    std::string bytes = FileStart(tempo, options, settings, noteBytes,
                                  TrackStart + MetaEventsSize + texts + noteBytes);
    const size_t notesAt = bytes.size();
    bytes.resize(notesAt + noteBytes);
    if (putNotes(bytes.data() + notesAt) != bytes.data() + bytes.size())
        throw std::logic_error("MIDI note events did not fill their room");
    bytes.append(EndOfTrack, sizeof EndOfTrack);
    return bytes;
}

// Note bytes gathered in a buffer that goes to the file whenever it fills, so that a long song
// never stands whole in memory and the bytes reach the file as they are made.
class TStreamedNoteWriter {
public:
    TStreamedNoteWriter(TAtomicFileWriter& file, const std::string& path)
        : file_(file), path_(path), buffer_(new char[BufferSize]) {}

    void Delta(uint32_t delta) { Room(DeltaSize(delta)).Delta(delta); }
    void Copy(const std::string& bytes) { Room(bytes.size()).Copy(bytes); }
    void Message(uint32_t message) { Room(3).Message(message); }
    void Write(std::string_view bytes) {
        if (!file_.Write(bytes))
            throw FileError(CannotCreateMessage(path_));
    }
    void Flush() {
        Write(std::string_view(buffer_.get(), static_cast<size_t>(put_.At - buffer_.get())));
        put_.At = buffer_.get();
    }

private:
    // Far more than one step needs: a pattern's events or a delta with its fillers.
    static constexpr size_t BufferSize = 1 << 20;

    TNoteBytesWriter& Room(size_t bytes) {
        if (static_cast<size_t>(put_.At - buffer_.get()) + bytes > BufferSize)
            Flush();
        return put_;
    }

    TAtomicFileWriter& file_;
    const std::string& path_;
    std::unique_ptr<char[]> buffer_;
    TNoteBytesWriter put_{buffer_.get()};
};

// Puts the voice back on its channel and rebuilds the timelines when it goes out of scope.
class TChannelRestore {
public:
    TChannelRestore(const TPkSong& song, TMelodies& melodies, TMidiVoice& voice)
        : song_(song), melodies_(melodies), voice_(voice), channel_(voice.OutChannel) {}
    ~TChannelRestore() {
        voice_.OutChannel = channel_;
        BuildAllMelodies(song_, melodies_, voice_);
    }
    TChannelRestore(const TChannelRestore&) = delete;
    TChannelRestore& operator=(const TChannelRestore&) = delete;

private:
    const TPkSong& song_;
    TMelodies& melodies_;
    TMidiVoice& voice_;
    uint8_t channel_;
};

} // namespace

void ResetExportOptions(TExportOptions& options, const std::string& songName,
                        const std::string& instrumentName, const std::string& copyrightLine) {
    const bool newSong = songName == "New Song" || songName == "Neuer Song";
    options.TrackName = newSong ? std::string(DefaultTrackName) : songName;
    options.Copyright = copyrightLine;
    options.Instrument = instrumentName;
    options.TrackNameEdited = false;
    options.InstrumentEdited = false;
}

std::vector<TExportEvent> CollectSongEvents(const TPkSong& song, const TMelodies& melodies) {
    std::vector<TSoundingEvents> patterns(static_cast<size_t>(melodies.Count()));
    for (size_t x = 0; x < patterns.size(); ++x)
        patterns[x] = SoundingEvents(melodies, static_cast<int32_t>(x), song.Steps);

    auto linePattern = [&](int32_t line) -> const TSoundingEvents* {
        const int32_t q = song.Songlines[static_cast<size_t>(line)];
        return q >= 1 && q <= static_cast<int32_t>(patterns.size()) ? &patterns[q - 1] : nullptr;
    };
    const int32_t lines =
        std::min<int32_t>(song.SonglineCount, static_cast<int32_t>(song.Songlines.size()) - 1);
    size_t total = 0;
    for (int32_t i = 1; i <= lines; ++i)
        if (const auto* pattern = linePattern(i))
            total += pattern->Events.size();

    std::vector<TExportEvent> events;
    events.reserve(total);
    const uint64_t lineLength = uint64_t(song.Steps) * uint64_t(std::max(song.StepTime, 0));
    uint64_t offset = 0;
    for (int32_t i = 1; i <= lines; ++i, offset += lineLength) {
        const auto* pattern = linePattern(i);
        if (!pattern || pattern->Events.empty())
            continue;
        if (offset + pattern->LastTime > std::numeric_limits<uint32_t>::max())
            throw FileError(Message(TMessageKind::TooLongForMidi));
        for (const TExportEvent& event : pattern->Events)
            events.push_back({event.Message, event.Time + static_cast<uint32_t>(offset)});
    }
    return events;
}

std::vector<uint32_t> MakeDeltaTimes(std::span<const TExportEvent> events) {
    std::vector<uint32_t> deltas(events.size());
    uint32_t previous = 0;
    for (size_t k = 0; k < events.size(); ++k) {
        deltas[k] = events[k].Time >= previous ? events[k].Time - previous : 0;
        previous = std::max(previous, events[k].Time);
    }
    return deltas;
}

void AppendVarLen(std::string& bytes, uint32_t value) {
    char buffer[4];
    bytes.append(buffer, PutVarLen(buffer, std::min(value, MaxVarLen)));
}

std::string BuildMidiFile(std::span<const TExportEvent> events, std::span<const uint32_t> deltas,
                          const TTempoInfo& tempo, const TExportOptions& options,
                          const TMidiFileSettings& settings) {
    const size_t count = std::min(events.size(), deltas.size());
    return BuildFile(tempo, options, settings, NoteEventsSize(deltas.first(count)), [&](char* at) {
        return PutNoteEvents(at, events.first(count), deltas.first(count));
    });
}

void WriteMidiFile(const std::string& path, std::span<const TExportEvent> events,
                   std::span<const uint32_t> deltas, const TTempoInfo& tempo,
                   const TExportOptions& options, const TMidiFileSettings& settings) {
    WriteFileAtomically(path, BuildMidiFile(events, deltas, tempo, options, settings));
}

namespace {

// The song's patterns encoded, the size of its note events and the file's settings, on the
// channel the export asks for; the voice's channel and the timelines come back afterwards.
template <typename TUse>
auto WithSongNotes(const TPkSong& song, TMelodies& melodies, TMidiVoice& voice,
                   const TExportOptions& options, TUse use) {
    // Declared before the monophone switch, so that the channel comes back on every way out.
    std::optional<TChannelRestore> restore;
    if (options.Monophone) {
        restore.emplace(song, melodies, voice);
        voice.OutChannel = 0;
        BuildAllMelodies(song, melodies, voice);
    }
    std::vector<TEncodedPattern> patterns;
    patterns.reserve(static_cast<size_t>(melodies.Count()));
    for (int32_t x = 0; x < melodies.Count(); ++x)
        patterns.push_back(EncodePattern(SoundingEvents(melodies, x, song.Steps)));
    TNoteBytesCount count;
    WalkSongNotes(song, patterns, count);
    // The channel prefix and program change name the channel the timelines were built on.
    const TMidiFileSettings settings{song.Patch, voice.OutChannel + 1, song.Device};
    return use(patterns, count.Size, settings);
}

} // namespace

std::string SongMidiFile(const TPkSong& song, TMelodies& melodies, TMidiVoice& voice,
                         const TTempoInfo& tempo, const TExportOptions& options) {
    return WithSongNotes(song, melodies, voice, options,
                         [&](const std::vector<TEncodedPattern>& patterns, size_t noteBytes,
                             const TMidiFileSettings& settings) {
                             return BuildFile(tempo, options, settings, noteBytes, [&](char* at) {
                                 TNoteBytesWriter writer{at};
                                 WalkSongNotes(song, patterns, writer);
                                 return writer.At;
                             });
                         });
}

std::string ExportSongToMidi(const TPkSong& song, TMelodies& melodies, TMidiVoice& voice,
                             const TTempoInfo& tempo, const TExportOptions& options,
                             const std::string& chosenPath) {
    const std::string path = StripExtension(chosenPath) + ".mid";
    WithSongNotes(song, melodies, voice, options,
                  [&](const std::vector<TEncodedPattern>& patterns, size_t noteBytes,
                      const TMidiFileSettings& settings) {
                      TAtomicFileWriter file;
                      if (!file.Open(path))
                          throw FileError(CannotCreateMessage(path));
                      TStreamedNoteWriter writer(file, path);
                      writer.Write(FileStart(tempo, options, settings, noteBytes, 0));
                      WalkSongNotes(song, patterns, writer);
                      writer.Flush();
                      writer.Write(std::string_view(EndOfTrack, sizeof EndOfTrack));
                      if (!file.Commit())
                          throw FileError(CannotCreateMessage(path));
                      return 0;
                  });
    return path;
}
