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

std::string LowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

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

    const std::string& Line(const char* what) {
        if (AtEnd())
            Fail("the file ends before " + LowerFirst(what));
        return lines_[next_++];
    }

    int32_t FirstNumber(const char* what) { return NumberList(Line(what)).Next(); }
    int32_t WholeLineNumber(const char* what) { return StrToInt(Line(what)); }

    // Exactly `count` numbers from the next line; more are ignored.
    std::vector<int32_t> Numbers(const char* what, size_t count) {
        const std::string& line = Line(what);
        NumberList list(line);
        std::vector<int32_t> values;
        while (values.size() < count) {
            if (!list.HasMore())
                Fail(std::string(what) + " holds " + std::to_string(values.size()) +
                     " values where " + std::to_string(count) + " are needed");
            values.push_back(list.Next());
        }
        return values;
    }

    int32_t InRange(int32_t value, int32_t low, int32_t high, const char* what) {
        if (value < low || value > high)
            Fail(std::string(what) + " " + std::to_string(value) + " is outside " +
                 std::to_string(low) + ".." + std::to_string(high));
        return value;
    }

    [[noreturn]] void Fail(const std::string& reason) const {
        throw FileError("Song file " + path_ + ", line " + std::to_string(next_) + ": " + reason);
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
        NumberList list(file.Line("a note line"));
        int32_t count = 0;
        while (count < MaxSteps && list.HasMore())
            song.Notes[p][++count] = file.InRange(list.Next(), 0, 127, "Note value");
        if (count == 0)
            file.Fail("pattern " + std::to_string(p) + " has no notes");
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
    const int32_t count = file.FirstNumber("the song-line count");
    if (count < 0)
        file.Fail("the song-line count " + std::to_string(count) + " is negative");
    const auto lines = file.Numbers("The song-line list", static_cast<size_t>(count));
    song.SonglineCount = count;
    song.Songlines.assign(1, 0);
    for (int32_t pattern : lines)
        song.Songlines.push_back(file.InRange(pattern, 1, song.PatternCount, "Song line pattern"));
}

void ReadSettings(SongFileReader& file, TPkSong& song, const std::vector<int32_t>& transpose) {
    std::copy(transpose.begin(), transpose.end(), song.Transpose.begin() + 1);
    song.Patch = file.InRange(file.FirstNumber("the patch line"), 0, 127, "Patch");
    const std::string& device = file.Line("the device line");
    song.Device = device.starts_with("-") ? -1 : NumberList(device).Next();
    song.Channel = file.InRange(file.FirstNumber("the channel line"), 1, 16, "Channel");
    song.Range = file.FirstNumber("the range line");
    if (!IsValidRange(song.Range))
        file.Fail("Range " + std::to_string(song.Range) + " is not one of 13, 25, 37, 49, 61");
}

void ReadSignature(SongFileReader& file, TTempoInfo& tempo) {
    const int32_t numerator =
        file.InRange(file.WholeLineNumber("the time signature"), 1, 16, "Time signature numerator");
    file.Line("the time signature separator");
    const int32_t denominator = file.WholeLineNumber("the time signature denominator");
    if (denominator != 2 && denominator != 4 && denominator != 8 && denominator != 16)
        file.Fail("Time signature denominator " + std::to_string(denominator) +
                  " is not one of 2, 4, 8, 16");
    tempo.SigNumerator = static_cast<uint8_t>(numerator);
    tempo.SigDenominator = static_cast<uint8_t>(denominator);
}

void ReadStepLists(SongFileReader& file, TPkSong& song,
                   std::vector<std::vector<uint8_t>> TPkSong::*target, const char* line,
                   const char* value, int32_t low, int32_t high) {
    for (int32_t p = 1; p <= song.PatternCount; ++p) {
        const auto values = file.Numbers(line, song.Steps);
        for (int32_t s = 1; s <= song.Steps; ++s)
            (song.*target)[p][s] =
                static_cast<uint8_t>(file.InRange(values[s - 1], low, high, value));
    }
}

void ReadSongFrom(SongFileReader& file, TPkSong& song, TTempoInfo& tempo) {
    song.StepTime =
        file.InRange(file.FirstNumber("the step time"), MinStepTime, MaxStepTime, "Step time");
    const int32_t patterns = file.FirstNumber("the pattern count");
    file.InRange(patterns, 1, MaxPatterns, "Pattern count");
    ResizePatternPool(song, patterns);
    for (int32_t p = 1; p <= patterns; ++p)
        song.PatternNames[p] = std::string("(").append(std::to_string(p)).append(")");
    ReadNotes(file, song);
    ReadTrack(file, song);
    if (file.AtEnd())
        return;
    file.Line("the transposition label");
    const auto transpose = file.Numbers("The transposition list", song.PatternCount);
    if (file.AtEnd())
        return;
    ReadSettings(file, song, transpose);
    if (file.AtEnd())
        return;
    ReadSignature(file, tempo);
    if (file.AtEnd())
        return;
    ReadStepLists(file, song, &TPkSong::Gates, "The gate line", "Gate", gtSingle, gtEnd);
    ReadStepLists(file, song, &TPkSong::Lengths, "The length line", "Length", 0, MaxSteps);
    if (file.AtEnd())
        return;
    for (int32_t p = 1; p <= song.PatternCount; ++p)
        song.PatternNames[p] = PatternName(file.Line("a pattern name"));
    if (file.AtEnd())
        return;
    song.Bank = file.InRange(file.WholeLineNumber("the bank"), 0, 127, "Bank");
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
    if (file.AtEnd() || file.Line("the header") != SongFileHeaderText())
        return false;

    TPkSong loaded = FreshLoadingSong(path);
    TTempoInfo loadedTempo = tempo;
    loadedTempo.SigNumerator = 4;
    loadedTempo.SigDenominator = 4;
    try {
        ReadSongFrom(file, loaded, loadedTempo);
    } catch (const ConvertError& error) { // the standard text, with the file and line
        file.Fail(error.what());
    }

    SetTempo(loadedTempo, loaded.StepTime);
    loaded.SongReady = song.SongReady;
    loaded.SongModified = false;
    song = std::move(loaded);
    tempo = loadedTempo;
    return true;
}
