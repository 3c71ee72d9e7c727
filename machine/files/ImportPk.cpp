#include "ImportPk.h"

#include "FileError.h"
#include "GetPureFilename.h"
#include "SafeFile.h"
#include "StringConvert.h"
#include "Windows1252.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <algorithm>
#include <vector>

namespace {

// The file's lines without their CR LF (or LF) ends.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines.emplace_back(text, start, stop - start);
        start = end + 1;
    }
    return lines;
}

using enum TMessageKind;

// A song-file line read as a list of numbers separated by single spaces.
class NumberList {
public:
    explicit NumberList(const std::string& line) : line_(line) {}
    bool HasMore() const { return column_ < line_.size(); }
    int32_t Next() {
        size_t space = line_.find(' ', column_);
        if (space == std::string::npos)
            space = line_.size();
        const std::string_view run(line_.data() + column_, space - column_);
        column_ = space + 1;
        return StrToInt(run);
    }

private:
    const std::string& line_;
    size_t column_ = 0;
};

class SongFileReader {
public:
    SongFileReader(const std::string& path, std::vector<std::string> lines)
        : path_(path), lines_(std::move(lines)) {}

    bool AtEnd() const { return next_ >= lines_.size(); }
    size_t LineNumber() const { return next_; } // of the line read last

    // `item` names the line in a message: an Item... kind.
    const std::string& Line(TMessageKind item) {
        if (AtEnd())
            Fail(EndsBefore, {Message(item)});
        return lines_[next_++];
    }

    int32_t FirstNumber(TMessageKind item) { return NumberList(Line(item)).Next(); }
    int32_t WholeLineNumber(TMessageKind item) { return StrToInt(Line(item)); }

    // Exactly `count` numbers from the next line; more are ignored.
    std::vector<int32_t> Numbers(TMessageKind item, size_t count) {
        const std::string& line = Line(item);
        NumberList list(line);
        std::vector<int32_t> values;
        while (values.size() < count) {
            if (!list.HasMore())
                Fail(TooFewValues, {Message(item), Plain(static_cast<int64_t>(values.size())),
                                    Plain(static_cast<int64_t>(count))});
            values.push_back(list.Next());
        }
        return values;
    }

    // `value` names the value in a message: a Value... kind.
    int32_t InRange(int32_t number, int32_t low, int32_t high, TMessageKind value) {
        if (number < low || number > high)
            Fail(OutsideRange, {Message(value), Plain(number), Plain(low), Plain(high)});
        return number;
    }

    [[noreturn]] void Fail(TMessageKind reason, std::vector<TUserMessage> values) const {
        Fail(Message(reason, std::move(values)));
    }

    [[noreturn]] void Fail(TUserMessage reason) const {
        throw FileError(Message(
            SongFileLine, {Plain(path_), Plain(static_cast<int64_t>(next_)), std::move(reason)}));
    }

private:
    const std::string& path_;
    std::vector<std::string> lines_;
    size_t next_ = 0;
};

// Reads note lines 1..P; the song's step count is set by the last line with fewer than 16
// notes. Shorter patterns are padded with rests so that every pattern has the same steps.
// The note extremes cover the steps the song keeps: notes cut away by the step count are gone,
// the rests of the padding are there (and in the file the song is saved to).
void ReadNotes(SongFileReader& file, TPkSong& song) {
    int32_t steps = MaxSteps;
    for (int32_t p = 1; p <= song.PatternCount; ++p) {
        NumberList list(file.Line(ItemNoteLine));
        int32_t count = 0;
        while (count < MaxSteps && list.HasMore())
            song.Notes[p][++count] = file.InRange(list.Next(), 0, 127, ValueNote);
        if (count == 0)
            file.Fail(NoNotes, {Plain(p)});
        if (count < MaxSteps)
            steps = count;
    }
    song.Steps = static_cast<uint8_t>(steps);
    song.StepCapacity = song.Steps;
    for (int32_t p = 1; p <= song.PatternCount; ++p) {
        ResizePatternSteps(song, p, song.Steps + 1u);
        for (int32_t s = 1; s <= song.Steps; ++s) {
            song.MaxNote = std::max(song.MaxNote, song.Notes[p][s]);
            song.MinNote = std::min(song.MinNote, song.Notes[p][s]);
        }
    }
}

// A name is one line; a lone CR inside it is a line break too, and the writer makes every line
// break a space, so the name is kept as it will be saved.
std::string PatternName(const std::string& line) {
    std::string name = Windows1252ToUtf8(line);
    std::replace(name.begin(), name.end(), '\r', ' ');
    return name;
}

void ReadTrack(SongFileReader& file, TPkSong& song) {
    const int32_t count = file.FirstNumber(ItemSongLineCount);
    if (count < 0)
        file.Fail(NegativeLineCount, {Plain(count)});
    const auto lines = file.Numbers(ItemSongLineList, static_cast<size_t>(count));
    song.SonglineCount = count;
    song.Songlines.assign(1, 0);
    for (int32_t pattern : lines)
        song.Songlines.push_back(file.InRange(pattern, 1, song.PatternCount, ValueSongLinePattern));
}

void ReadSettings(SongFileReader& file, TPkSong& song, const std::vector<int32_t>& transpose) {
    std::copy(transpose.begin(), transpose.end(), song.Transpose.begin() + 1);
    song.Patch = file.InRange(file.FirstNumber(ItemPatchLine), 0, 127, ValuePatch);
    const std::string& device = file.Line(ItemDeviceLine);
    song.Device = device.starts_with("-") ? -1 : NumberList(device).Next();
    song.Channel = file.InRange(file.FirstNumber(ItemChannelLine), 1, 16, ValueChannel);
    song.Range = file.FirstNumber(ItemRangeLine);
    if (!IsValidRange(song.Range))
        file.Fail(RangeNotAllowed, {Plain(song.Range)});
}

void ReadSignature(SongFileReader& file, TTempoInfo& tempo) {
    const int32_t numerator =
        file.InRange(file.WholeLineNumber(ItemTimeSignature), 1, 16, ValueSignatureNumerator);
    file.Line(ItemSignatureSeparator);
    const int32_t denominator = file.WholeLineNumber(ItemSignatureDenominator);
    if (denominator != 2 && denominator != 4 && denominator != 8 && denominator != 16)
        file.Fail(DenominatorNotAllowed, {Plain(denominator)});
    tempo.SigNumerator = static_cast<uint8_t>(numerator);
    tempo.SigDenominator = static_cast<uint8_t>(denominator);
}

void ReadStepLists(SongFileReader& file, TPkSong& song,
                   std::vector<std::vector<uint8_t>> TPkSong::*target, TMessageKind line,
                   TMessageKind value, int32_t low, int32_t high) {
    for (int32_t p = 1; p <= song.PatternCount; ++p) {
        const auto values = file.Numbers(line, song.Steps);
        for (int32_t s = 1; s <= song.Steps; ++s)
            (song.*target)[p][s] =
                static_cast<uint8_t>(file.InRange(values[s - 1], low, high, value));
    }
}

void ReadSongFrom(SongFileReader& file, TPkSong& song, TTempoInfo& tempo) {
    song.StepTime =
        file.InRange(file.FirstNumber(ItemStepTime), MinStepTime, MaxStepTime, ValueStepTime);
    const int32_t patterns = file.FirstNumber(ItemPatternCount);
    file.InRange(patterns, 1, MaxPatterns, ValuePatternCount);
    ResizePatternPool(song, patterns);
    for (int32_t p = 1; p <= patterns; ++p)
        song.PatternNames[p] = std::string("(").append(std::to_string(p)).append(")");
    ReadNotes(file, song);
    ReadTrack(file, song);
    if (file.AtEnd())
        return;
    file.Line(ItemTranspositionLabel);
    const auto transpose = file.Numbers(ItemTranspositionList, song.PatternCount);
    if (file.AtEnd())
        return;
    ReadSettings(file, song, transpose);
    if (file.AtEnd())
        return;
    ReadSignature(file, tempo);
    if (file.AtEnd())
        return;
    ReadStepLists(file, song, &TPkSong::Gates, ItemGateLine, ValueGate, gtSingle, gtEnd);
    ReadStepLists(file, song, &TPkSong::Lengths, ItemLengthLine, ValueLength, 0, MaxSteps);
    if (file.AtEnd())
        return;
    for (int32_t p = 1; p <= song.PatternCount; ++p)
        song.PatternNames[p] = PatternName(file.Line(ItemPatternName));
    if (file.AtEnd())
        return;
    song.Bank = file.InRange(file.WholeLineNumber(ItemBank), 0, 127, ValueBank);
}

TPkSong FreshLoadingSong(const std::string& path) {
    TPkSong song;
    song.StepCapacity = MaxSteps;
    song.Steps = MaxSteps;
    song.MaxNote = 0;
    song.MinNote = 256;
    song.Name = StripExtension(FileNamePart(path));
    song.Patch = 0;
    song.Device = -1;
    song.Channel = 1;
    song.Range = DefaultRange;
    song.Bank = 0;
    return song;
}

} // namespace

bool ReadSong(const std::string& path, TPkSong& song, TTempoInfo& tempo) {
    SongFileReader file(path, SplitLines(ReadWholeFile(path)));
    if (file.AtEnd() || file.Line(ItemHeader) != SongFileHeaderText())
        return false;

    TPkSong loaded = FreshLoadingSong(path);
    TTempoInfo loadedTempo = tempo;
    loadedTempo.SigNumerator = 4;
    loadedTempo.SigDenominator = 4;
    try {
        ReadSongFrom(file, loaded, loadedTempo);
    } catch (const ConvertError& error) { // the standard message, with the file and line
        file.Fail(error.Message());
    }

    SetTempo(loadedTempo, loaded.StepTime);
    loaded.SongReady = song.SongReady;
    loaded.SongModified = false;
    song = std::move(loaded);
    tempo = loadedTempo;
    return true;
}
