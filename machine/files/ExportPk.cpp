#include "ExportPk.h"

#include "ImportPk.h"
#include "SafeFile.h"
#include "Windows1252.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <algorithm>

namespace {

class SongText {
public:
    void Line(const std::string& text) { text_ += text + "\r\n"; }
    void Line(int32_t value, const char* label) { Line(std::to_string(value) + " " + label); }
    template <typename Values> void List(const Values& values, int32_t count) {
        for (int32_t i = 1; i <= count; ++i)
            text_ += std::to_string(values[i]) + " ";
        text_ += "\r\n";
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

// A name is one line of the file; a line break inside it would shift every line after it.
// The file holds it in Windows-1252: what that cannot hold shows as '?'.
std::string NameLine(const std::string& utf8) {
    std::string name = Utf8ToWindows1252(utf8);
    std::replace(name.begin(), name.end(), '\r', ' ');
    std::replace(name.begin(), name.end(), '\n', ' ');
    return name;
}

} // namespace

std::string FormatSong(const TPkSong& song, const TTempoInfo& tempo) {
    const int32_t patterns = song.PatternCount;
    const int32_t steps = song.Steps;
    SongText out;
    out.Line(SongFileHeaderText());
    out.Line(song.StepTime, "ms");
    out.Line(patterns, "Pattern");
    for (int32_t p = 1; p <= patterns; ++p)
        out.List(song.Notes[p], steps);
    out.Line(song.SonglineCount, "Songlines");
    out.List(song.Songlines, song.SonglineCount);
    out.Line("Transponition");
    out.List(song.Transpose, patterns);
    out.Line(song.Patch, "Patch");
    out.Line(song.Device, "Device");
    out.Line(song.Channel, "Channel");
    out.Line(song.Range, "Range");
    out.Line(std::to_string(tempo.SigNumerator));
    out.Line("-");
    out.Line(std::to_string(tempo.SigDenominator));
    for (int32_t p = 1; p <= patterns; ++p)
        out.List(song.Gates[p], steps);
    for (int32_t p = 1; p <= patterns; ++p)
        out.List(song.Lengths[p], steps);
    for (int32_t p = 1; p <= patterns; ++p)
        out.Line(NameLine(song.PatternNames[p]));
    out.Line(std::to_string(song.Bank));
    return out.Take();
}

void WriteSong(const std::string& path, TPkSong& song, const TTempoInfo& tempo) {
    WriteFileAtomically(path, FormatSong(song, tempo));
    song.SongModified = false;
}
