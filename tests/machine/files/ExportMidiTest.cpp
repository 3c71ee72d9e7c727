#include "files/ExportMidi.h"

#include "TempDir.h"
#include "files/FileError.h"
#include "song/Melodies.h"
#include "song/MidiVoice.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// A MIDI file read back: the header fields and every event of its one track with its tick.
struct TParsedEvent {
    uint64_t Tick = 0;
    uint8_t Status = 0;   // 0xFF for meta events
    uint8_t MetaType = 0; // meta events only
    std::string Data;     // data bytes (for meta events: the bytes after the length)
};

struct TParsedFile {
    uint16_t Format = 0, Tracks = 0, Division = 0;
    std::vector<TParsedEvent> Events;

    std::vector<TParsedEvent> Notes() const {
        std::vector<TParsedEvent> notes;
        for (const auto& e : Events)
            if ((e.Status & 0xE0) == 0x80)
                notes.push_back(e);
        return notes;
    }
    std::vector<TParsedEvent> Metas(uint8_t type) const {
        std::vector<TParsedEvent> metas;
        for (const auto& e : Events)
            if (e.Status == 0xFF && e.MetaType == type)
                metas.push_back(e);
        return metas;
    }
};

class TReader {
public:
    explicit TReader(const std::string& bytes) : bytes_(bytes) {}
    uint32_t Byte() {
        if (at_ >= bytes_.size())
            throw std::runtime_error("file ends early");
        return static_cast<uint8_t>(bytes_[at_++]);
    }
    uint32_t BigEndian(int count) {
        uint32_t value = 0;
        while (count--)
            value = value << 8 | Byte();
        return value;
    }
    uint32_t VarLen() {
        uint32_t value = 0;
        for (int n = 0; n < 4; ++n) {
            const uint32_t byte = Byte();
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80))
                return value;
        }
        throw std::runtime_error("variable-length quantity over 4 bytes");
    }
    std::string Text(size_t count) {
        std::string text;
        while (count--)
            text.push_back(static_cast<char>(Byte()));
        return text;
    }
    size_t At() const { return at_; }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

TParsedFile ParseMidi(const std::string& bytes) {
    TReader in(bytes);
    TParsedFile file;
    EXPECT_EQ(in.Text(4), "MThd");
    EXPECT_EQ(in.BigEndian(4), 6u);
    file.Format = static_cast<uint16_t>(in.BigEndian(2));
    file.Tracks = static_cast<uint16_t>(in.BigEndian(2));
    file.Division = static_cast<uint16_t>(in.BigEndian(2));
    EXPECT_EQ(in.Text(4), "MTrk");
    const size_t trackEnd = in.BigEndian(4) + in.At();
    EXPECT_EQ(trackEnd, bytes.size()) << "track length field";
    uint64_t tick = 0;
    while (in.At() < trackEnd) {
        TParsedEvent event;
        event.Tick = tick += in.VarLen();
        event.Status = static_cast<uint8_t>(in.Byte());
        if (event.Status == 0xFF) {
            event.MetaType = static_cast<uint8_t>(in.Byte());
            event.Data = in.Text(in.VarLen());
        } else if (event.Status >= 0x80) { // no running status is expected
            event.Data = in.Text((event.Status & 0xF0) == 0xC0 ? 1 : 2);
        } else {
            ADD_FAILURE() << "running status at byte " << in.At();
            break;
        }
        file.Events.push_back(event);
    }
    if (file.Events.empty()) {
        ADD_FAILURE() << "no events";
    } else {
        EXPECT_EQ(file.Events.back().MetaType, 0x2F) << "end of track is the last event";
    }
    return file;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

std::string VarLen(uint32_t value) {
    std::string bytes;
    AppendVarLen(bytes, value);
    return bytes;
}

class MidiExport : public ::testing::Test {
protected:
    void SetUp() override {
        InitSong(song, tempo, DefaultNote, 0, 0, "New Song");
        BuildAllMelodies(song, melodies, voice);
    }
    void NoTexts() { options.TrackNameOn = options.CopyrightOn = options.InstrumentOn = false; }
    void SetChannel(int32_t channel) {
        song.Channel = channel;
        voice.OutChannel = static_cast<uint8_t>(channel - 1);
        BuildAllMelodies(song, melodies, voice);
    }
    std::string Export(const std::string& name = "song.pks") {
        const std::string path =
            ExportSongToMidi(song, melodies, voice, tempo, options, dir.File(name));
        return TempDir::Read(path);
    }
    std::string Build(std::span<const TExportEvent> events) {
        return BuildMidiFile(events, MakeDeltaTimes(events), tempo, options, {});
    }
    TPkSong song;
    TTempoInfo tempo;
    TMelodies melodies;
    TMidiVoice voice;
    TExportOptions options;
    TempDir dir;
};

} // namespace

TEST_F(MidiExport, TwoStepPatternIsWrittenByteForByte) {
    song.Steps = 2;
    song.Notes[1][1] = 1;
    song.Notes[1][2] = 0;
    BuildAllMelodies(song, melodies, voice);
    NoTexts();
    const std::string expected =
        "MThd" + Bytes({0, 0, 0, 6, 0, 0, 0, 1, 0x03, 0x20}) + "MTrk" + Bytes({0, 0, 0, 66}) +
        Bytes({0, 0xFF, 0x58, 4, 4, 2, 24, 8, 0, 0xFF, 0x51, 3, 0x0C, 0x35, 0x00}) +
        Bytes({0, 0xFF, 0x21, 1, 1, 0, 0xFF, 0x20, 1, 0, 0, 0xC0, 0}) + Bytes({0, 0xFF, 0x01, 21}) +
        "Created with Plinkora" +
        Bytes({0, 0x90, 0x24, 0x7F, 0x81, 0x48, 0x80, 0x24, 0x7F, 0, 0xFF, 0x2F, 0});
    EXPECT_EQ(Export("tune.xyz"), expected);
    EXPECT_TRUE(std::filesystem::exists(dir.File("tune.mid")));
    EXPECT_EQ(Export("plain"), expected); // no extension: ".mid" is added
    EXPECT_TRUE(std::filesystem::exists(dir.File("plain.mid")));
}

TEST_F(MidiExport, TempoDivisionAndSignature) {
    SetTempo(tempo, 30);
    std::string file = Build({});
    EXPECT_EQ(file.substr(12, 2), Bytes({0x00, 0x78}));
    EXPECT_EQ(file.substr(30, 7), Bytes({0, 0xFF, 0x51, 3, 0x01, 0xD4, 0xC0}));
    SetTempo(tempo, 1000);
    file = Build({});
    EXPECT_EQ(file.substr(12, 2), Bytes({0x0F, 0xA0}));
    EXPECT_EQ(file.substr(30, 7), Bytes({0, 0xFF, 0x51, 3, 0x3D, 0x09, 0x00}));
    tempo.SigNumerator = 3;
    tempo.SigDenominator = 8;
    SetTempo(tempo, 200);
    EXPECT_EQ(Build({}).substr(22, 8), Bytes({0, 0xFF, 0x58, 4, 3, 3, 0x12, 8}));
    tempo.SigDenominator = 16;
    EXPECT_EQ(Build({})[27], 4);
}

TEST_F(MidiExport, ProgramChangeFollowsChannelAndPatchOrIsLeftOut) {
    const std::string with =
        BuildMidiFile({}, {}, tempo, options, TMidiFileSettings{.Patch = 41, .Channel = 5});
    options.ProgramChange = false;
    const std::string without =
        BuildMidiFile({}, {}, tempo, options, TMidiFileSettings{.Patch = 41, .Channel = 5});
    EXPECT_EQ(with.size(), without.size() + 3);
    EXPECT_EQ(with.substr(37, 13), Bytes({0, 0xFF, 0x21, 1, 0, 0, 0xFF, 0x20, 1, 4, 0, 0xC4, 41}));
    for (const auto& event : ParseMidi(without).Events)
        EXPECT_NE(event.Status & 0xF0, 0xC0);
}

TEST_F(MidiExport, TextEventsInOrderEachOnlyWhenOn) {
    options.TrackName = "Tune - Piano";
    options.Copyright = std::string(200, 'c'); // a two-byte length
    options.Instrument = "";
    TParsedFile file = ParseMidi(Build({}));
    std::vector<int> order;
    for (const auto& e : file.Events)
        if (e.Status == 0xFF && e.MetaType <= 4)
            order.push_back(e.MetaType);
    EXPECT_EQ(order, (std::vector<int>{3, 2, 4, 1}));
    EXPECT_EQ(file.Metas(3)[0].Data, "Tune - Piano");
    EXPECT_EQ(file.Metas(2)[0].Data, options.Copyright);
    EXPECT_EQ(file.Metas(4)[0].Data, "");
    EXPECT_EQ(file.Metas(1)[0].Data, ExporterText);
    const std::string all = Build({});
    EXPECT_NE(all.find(Bytes({0, 0xFF, 2, 0x81, 0x48})), std::string::npos);

    options.CopyrightOn = false;
    EXPECT_EQ(Build({}).size(), all.size() - (5 + 200));
    EXPECT_TRUE(ParseMidi(Build({})).Metas(2).empty());
    options.TrackNameOn = false;
    options.InstrumentOn = false;
    file = ParseMidi(Build({}));
    EXPECT_TRUE(file.Metas(3).empty());
    EXPECT_TRUE(file.Metas(4).empty());
    EXPECT_EQ(file.Metas(1).size(), 1u); // the identification text stays
}

// The options hold UTF-8; the file holds Windows-1252, '?' for what that cannot hold.
TEST_F(MidiExport, TextsAreWindowsTextInTheFile) {
    options.TrackName = "Grüß – €";
    options.Copyright = "© Ann ♪";
    options.Instrument = "Flöte";
    const std::string all = Build({});
    EXPECT_NE(all.find(Bytes({0, 0xFF, 3, 8}) + "Gr\xFC\xDF \x96 \x80"), std::string::npos);
    EXPECT_NE(all.find(Bytes({0, 0xFF, 2, 7}) + "\xA9 Ann ?"), std::string::npos);
    EXPECT_NE(all.find(Bytes({0, 0xFF, 4, 5}) + "Fl\xF6te"), std::string::npos);
}

TEST_F(MidiExport, MonophoneExportsOnChannelOneAndRestoresTheChannel) {
    SetChannel(10);
    const auto before = melodies.Timeline(0);
    ASSERT_EQ(before[0].Message & 0xFF, 0x99u);

    TParsedFile plain = ParseMidi(Export());
    EXPECT_EQ(plain.Metas(0x20)[0].Data, Bytes({9}));
    EXPECT_EQ(plain.Notes()[0].Status, 0x99);

    options.Monophone = true;
    TParsedFile mono = ParseMidi(Export());
    EXPECT_EQ(mono.Metas(0x20)[0].Data, Bytes({0}));
    ASSERT_EQ(mono.Notes().size(), 32u);
    for (const auto& note : mono.Notes())
        EXPECT_TRUE(note.Status == 0x90 || note.Status == 0x80) << int(note.Status);
    EXPECT_EQ(voice.OutChannel, 9);
    EXPECT_EQ(song.Channel, 10);
    EXPECT_EQ(melodies.Timeline(0), before);

    // A failed write puts the channel back as well.
    EXPECT_THROW(ExportSongToMidi(song, melodies, voice, tempo, options, dir.File("no/such.mid")),
                 FileError);
    EXPECT_EQ(voice.OutChannel, 9);
    EXPECT_EQ(song.Channel, 10);
    EXPECT_EQ(melodies.Timeline(0), before);
}

TEST_F(MidiExport, HeldNoteIsOneNoteOnAndOneNoteOff) {
    FillPatternSteps(song, 1, 0, 127);
    for (int s = 1; s <= 3; ++s)
        song.Notes[1][s] = 12;
    song.Gates[1][1] = gtStart;
    song.Gates[1][2] = gtHold;
    song.Gates[1][3] = gtEnd;
    BuildAllMelodies(song, melodies, voice);
    const auto notes = ParseMidi(Export()).Notes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].Status, 0x90);
    EXPECT_EQ(notes[1].Status, 0x80);
    EXPECT_EQ(notes[0].Data, notes[1].Data); // key 47, velocity 127
    EXPECT_EQ(notes[1].Tick - notes[0].Tick, 3u * 200);
}

TEST_F(MidiExport, SongLinesFollowEachOther) {
    song.SonglineCount = 3;
    song.Songlines = {0, 1, 1, 1};
    BuildAllMelodies(song, melodies, voice);
    const auto notes = ParseMidi(Export()).Notes();
    ASSERT_EQ(notes.size(), 96u);
    EXPECT_EQ(notes[0].Tick, 0u);
    EXPECT_EQ(notes[32].Tick, 3200u);
    EXPECT_EQ(notes[64].Tick, 6400u);
    EXPECT_EQ(notes[95].Tick, 9600u);

    // A line of rests in between still takes its time.
    ResizePatternPool(song, 2);
    FillPatternSteps(song, 2, 0, 127);
    song.Songlines = {0, 1, 2, 1};
    BuildAllMelodies(song, melodies, voice);
    const auto events = CollectSongEvents(song, melodies);
    ASSERT_EQ(events.size(), 64u);
    EXPECT_EQ(events[32].Time, 6400u);
}

// The export copies each pattern's encoded events line after line; where a line starts before
// the one before it has ended, it falls back to event by event. Either way the file holds
// exactly the song's events with their deltas.
TEST_F(MidiExport, TheFileHoldsTheSongsEventsAlsoWhereLinesOverlap) {
    ResizePatternPool(song, 2);
    song.Steps = 3; // lines of 600 ms
    BuildAllMelodies(song, melodies, voice);
    const uint32_t on = 0x7F3C90, off = 0x7F3C80;
    const std::vector<TExportEvent> first = {{on, 100}, {off, 900}, {on, 50}, {off, 650}};
    const std::vector<TExportEvent> second = {{on, 0}, {off, 300}, {on + 256, 300}, {off, 600}};
    melodies.Publish(0, first); // ends beyond its line, and not in time order
    melodies.Publish(1, second);
    song.SonglineCount = 6;
    song.Songlines = {0, 2, 1, 1, 3, 2, 2}; // 3 has no timeline: a silent line
    const auto events = CollectSongEvents(song, melodies);
    const std::string expected = BuildMidiFile(events, MakeDeltaTimes(events), tempo, options,
                                               {song.Patch, voice.OutChannel + 1, song.Device});
    EXPECT_EQ(SongMidiFile(song, melodies, voice, tempo, options), expected);
    EXPECT_EQ(Export(), expected);
}

TEST_F(MidiExport, SongLongerThanAFileCanCountIsRefused) {
    SetTempo(tempo, MaxStepTime);
    SetStepTime(song, melodies, MaxStepTime);
    song.SonglineCount = 268436; // a song line lasts 16000 ms: the last one ends after 2^32 ms
    song.Songlines.assign(static_cast<size_t>(song.SonglineCount) + 1, 1);
    EXPECT_THROW(CollectSongEvents(song, melodies), FileError);
    song.SonglineCount = 268435;
    EXPECT_EQ(CollectSongEvents(song, melodies).back().Time, 268435u * 16000);
}

TEST_F(MidiExport, SongOfRestsHasOnlyTheFixedEvents) {
    FillPatternSteps(song, 1, 0, 127);
    BuildAllMelodies(song, melodies, voice);
    const TParsedFile file = ParseMidi(Export());
    EXPECT_TRUE(file.Notes().empty());
    EXPECT_EQ(file.Events.size(), 10u); // signature, tempo, port, prefix, program, 4 texts, end
    EXPECT_TRUE(MakeDeltaTimes({}).empty());
}

TEST_F(MidiExport, MessagesUpToTenThousandAreDropped) {
    const uint32_t noteOff = 0x80;
    const std::vector<TExportEvent> timeline = {
        {10000, 0},                        // dropped
        {10001, 10},                       // kept
        {noteOff + 38 * 256, 20},          // silent note-off on key 38: dropped
        {noteOff + 39 * 256, 30},          // on key 39: kept
        {0x90 + 4 * 256 + 1 * 65536, 40}}; // velocity 1 on a low key: kept
    melodies.Publish(0, timeline);
    song.Steps = 3;
    const auto events = CollectSongEvents(song, melodies);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], timeline[1]);
    EXPECT_EQ(events[1], timeline[3]);
    EXPECT_EQ(events[2], timeline[4]);
    EXPECT_EQ(MakeDeltaTimes(events), (std::vector<uint32_t>{10, 20, 10}));
}

TEST_F(MidiExport, VariableLengthQuantitiesAtTheirBoundaries) {
    EXPECT_EQ(VarLen(0), Bytes({0x00}));
    EXPECT_EQ(VarLen(127), Bytes({0x7F}));
    EXPECT_EQ(VarLen(128), Bytes({0x81, 0x00}));
    EXPECT_EQ(VarLen(16383), Bytes({0xFF, 0x7F}));
    EXPECT_EQ(VarLen(16384), Bytes({0x81, 0x80, 0x00}));
    EXPECT_EQ(VarLen((1u << 21) - 1), Bytes({0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(VarLen(1u << 21), Bytes({0x81, 0x80, 0x80, 0x00}));
    EXPECT_EQ(VarLen((1u << 28) - 1), Bytes({0xFF, 0xFF, 0xFF, 0x7F}));

    // The same deltas in a file read back, and a silence longer than any delta can say.
    const std::vector<uint32_t> deltas = {0,
                                          127,
                                          128,
                                          16383,
                                          16384,
                                          (1u << 21) - 1,
                                          1u << 21,
                                          (1u << 28) - 1,
                                          (1u << 28) + 5,
                                          2 * MaxVarLen};
    std::vector<TExportEvent> events;
    uint32_t time = 0;
    for (uint32_t delta : deltas)
        events.push_back({0x90 + 60 * 256 + 100 * 65536, time += delta});
    const TParsedFile file = ParseMidi(Build(events));
    const auto notes = file.Notes();
    ASSERT_EQ(notes.size(), events.size());
    for (size_t k = 0; k < events.size(); ++k)
        EXPECT_EQ(notes[k].Tick, events[k].Time) << k;
    EXPECT_EQ(file.Metas(1).size(), 3u); // the identification text and two fillers
}

TEST_F(MidiExport, FailedWriteLeavesTheOldFileWhole) {
    // The name leaves no room for the temporary file beside it, so the write fails even as root.
    const std::string base(250, 'x');
    const std::string old = dir.Write(base + ".mid", "old contents");
    try {
        Export(base + ".pks");
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Message(), CannotCreateMessage(old));
    }
    EXPECT_EQ(TempDir::Read(old), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ExportOptions, DefaultsAndReset) {
    TExportOptions options;
    EXPECT_TRUE(options.ProgramChange && options.TrackNameOn && options.CopyrightOn &&
                options.InstrumentOn);
    EXPECT_FALSE(options.Monophone);
    EXPECT_EQ(options.TrackName, "Plinkora");
    EXPECT_EQ(options.Instrument, "Acoustic Grand Piano");

    options.CopyrightOn = false;
    options.TrackNameEdited = options.InstrumentEdited = true;
    ResetExportOptions(options, "Neuer Song", "Violin");
    EXPECT_EQ(options.TrackName, "Plinkora");
    EXPECT_EQ(options.Instrument, "Violin");
    EXPECT_EQ(options.Copyright, DefaultCopyrightLine);
    EXPECT_FALSE(options.TrackNameEdited || options.InstrumentEdited);
    EXPECT_FALSE(options.CopyrightOn);
    ResetExportOptions(options, "Night Walk", "Cello", "(C) me");
    EXPECT_EQ(options.TrackName, "Night Walk");
    EXPECT_EQ(options.Copyright, "(C) me");
    ResetExportOptions(options, "New Song", "Cello");
    EXPECT_EQ(options.TrackName, "Plinkora");
}
