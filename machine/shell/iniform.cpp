#include "iniform.h"

#include "StringConvert.h"
#include "files/ExportMidi.h"
#include "files/FileError.h"
#include "files/SafeFile.h"
#include "files/Windows1252.h"
#include "song/SongModel.h"

#include <algorithm>
#include <optional>

namespace {

constexpr char PatternFixedText[] = "PatternFixed";
constexpr char PatternFreeText[] = "PatternFree";
constexpr char SongFixedText[] = "SongFixed";
constexpr char SongFreeText[] = "SongFree";
constexpr char TonePreviewOnText[] = "Tone Preview On";
constexpr char TonePreviewOffText[] = "Tone Preview Off";
constexpr char ClockOnText[] = "MIDI Clock On";
constexpr char ClockOffText[] = "MIDI Clock Off";
constexpr char FollowTransportOnText[] = "Follow Transport On";
constexpr char FollowTransportOffText[] = "Follow Transport Off";
constexpr char LinkOnText[] = "Ableton Link On";
constexpr char LinkOffText[] = "Ableton Link Off";
constexpr char LinkStartStopOnText[] = "Link Start Stop On";
constexpr char LinkStartStopOffText[] = "Link Start Stop Off";
constexpr char FollowClockOnText[] = "Follow MIDI Clock On";
constexpr char FollowClockOffText[] = "Follow MIDI Clock Off";
constexpr char LineEnd[] = "\r\n";
constexpr int32_t UnreadLine = 15; // the step capacity is written only
constexpr int32_t LanguageLine = 17;
constexpr int32_t ClockLine = 18;
constexpr int32_t FollowTransportLine = 19;
constexpr int32_t LinkLine = 20;
constexpr int32_t LinkStartStopLine = 21;
constexpr int32_t MidiInputLine = 22;
constexpr int32_t FollowClockLine = 23;
constexpr int32_t KeyboardChannelLine = 24;
constexpr int32_t MaxKeyboardChannel = 16;

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t stop = text.find('\n', start);
        const size_t next = stop == std::string::npos ? text.size() : stop + 1;
        if (stop == std::string::npos)
            stop = text.size();
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines.push_back(text.substr(start, stop - start));
        start = next;
    }
    return lines;
}

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

bool IsSkinLine(int32_t value) {
    return value >= 0 && value < SkinCount;
}

bool IsKeyboardChannel(int32_t value) {
    return value >= 0 && value <= MaxKeyboardChannel;
}

// Walks the lines in order; the first line that is missing or does not hold what its field
// needs ends the walk.
class LineTaker {
public:
    explicit LineTaker(const std::vector<std::string>& lines) : lines_(lines) {}

    bool Text(int32_t line, std::string& into) {
        if (!Present(line))
            return false;
        into = lines_[line];
        return true;
    }

    bool Number(int32_t line, int32_t& into, bool (*valid)(int32_t) = nullptr) {
        if (!Present(line))
            return false;
        const std::optional<int32_t> value = TryStrToInt(lines_[line]);
        if (!value || (valid && !valid(*value)))
            return false;
        into = *value;
        return true;
    }

    bool Place(int32_t line, uint8_t& into, uint8_t first, uint8_t second) {
        int32_t value = 0;
        if (!Number(line, value) || (value != first && value != second))
            return false;
        into = static_cast<uint8_t>(value);
        return true;
    }

    bool Flag(int32_t line, bool& into, const char* onText) {
        std::string text;
        if (!Text(line, text))
            return false;
        into = text == onText;
        return true;
    }

    // An option that is on by default: only its own "... Off" text turns it off.
    void FlagOnByDefault(int32_t line, bool& into, const char* offText) {
        std::string text;
        if (Text(line, text))
            into = text != offText;
    }

private:
    bool Present(int32_t line) const {
        return line >= 0 && static_cast<size_t>(line) < lines_.size();
    }

    const std::vector<std::string>& lines_;
};

// The lines later versions added: files of older versions end before them, and the values they
// do not hold keep their defaults.
void TakeLaterLines(TSettings& settings, LineTaker& take) {
    std::string code;
    if (take.Text(LanguageLine, code))
        settings.Language = LanguageFromCode(code).value_or(DefaultLanguage);
    take.Flag(ClockLine, settings.SendClock, ClockOnText);
    take.Flag(FollowTransportLine, settings.FollowTransport, FollowTransportOnText);
    take.Flag(LinkLine, settings.Link, LinkOnText);
    take.FlagOnByDefault(LinkStartStopLine, settings.LinkStartStop, LinkStartStopOffText);
    std::string text;
    if (take.Text(MidiInputLine, text))
        settings.MidiInput = ParseMidiInputWord(text).value_or(TMidiInputChoice{});
    take.Flag(FollowClockLine, settings.FollowClock, FollowClockOnText);
    if (take.Text(KeyboardChannelLine, text)) {
        const std::optional<int32_t> channel = TryStrToInt(text);
        settings.KeyboardChannel = channel && IsKeyboardChannel(*channel) ? *channel : 0;
    }
}

bool TakeAll(TSettings& settings, LineTaker& take) {
    TLayoutState& layout = settings.Layout;
    int32_t savedSkin = 0;
    const bool taken =
        take.Text(0, settings.SongFolder) && take.Text(1, settings.MidiFolder) &&
        take.Number(2, settings.Range, IsValidRange) && take.Number(3, layout.MainLeft) &&
        take.Number(4, layout.MainTop) && take.Number(5, layout.PatternLeft) &&
        take.Number(6, layout.PatternTop) && take.Number(7, layout.TrackLeft) &&
        take.Number(8, layout.TrackTop) && take.Flag(9, layout.PatternDocked, PatternFixedText) &&
        take.Place(10, layout.PatternPlace, dpAbove, dpBelow) &&
        take.Flag(11, layout.TrackDocked, SongFixedText) &&
        take.Place(12, layout.TrackSide, dpLeft, dpRight) && take.Number(13, savedSkin, IsSkinLine);
    if (!taken)
        return false;
    settings.SkinNumber = savedSkin - 1;
    std::string copyright;
    if (!take.Flag(14, settings.TonePreview, TonePreviewOnText) ||
        !take.Text(UnreadLine + 1, copyright))
        return false;
    settings.Copyright = Windows1252ToUtf8(copyright);
    TakeLaterLines(settings, take);
    return true;
}

} // namespace

std::string DefaultSongFolder(const std::string& programFolder) {
    return programFolder + (programFolder.ends_with('/') ? "" : "/") + "PKSongs";
}

TSettings DefaultSettings(const std::string& programFolder, int32_t screenHeight, int32_t mainWidth,
                          int32_t mainHeight) {
    TSettings settings;
    settings.SongFolder = DefaultSongFolder(programFolder);
    settings.MidiFolder = settings.SongFolder;
    settings.Range = DefaultRange;
    TLayoutState& layout = settings.Layout;
    layout.MainLeft = 100;
    layout.MainTop = (screenHeight - (mainHeight + 293)) / 2;
    layout.PatternLeft = layout.MainLeft;
    layout.PatternTop = layout.MainTop + mainHeight;
    layout.TrackLeft = layout.PatternLeft + mainWidth;
    layout.TrackTop = layout.PatternTop;
    settings.Copyright = DefaultCopyrightLine;
    return settings;
}

std::string SettingsFileName(const std::string& programFile) {
    if (EndsWith(programFile, ".exe"))
        return programFile.substr(0, programFile.size() - 4) + ".ini";
    return programFile + ".ini";
}

TSettingsReadResult TakeSettingsLines(TSettings& settings, const std::vector<std::string>& lines,
                                      const std::string& programFolder) {
    LineTaker take(lines);
    if (TakeAll(settings, take))
        return {true, false};
    settings.SongFolder = DefaultSongFolder(programFolder);
    settings.MidiFolder = settings.SongFolder;
    settings.Range = DefaultRange;
    return {false, true};
}

TSettingsReadResult ReadSettings(TSettings& settings, const std::string& path,
                                 const std::string& programFolder) {
    std::vector<std::string> lines;
    try {
        lines = SplitLines(ReadWholeFile(path));
    } catch (const FileError&) {
        // A missing or unreadable file is taken as an empty one.
    }
    return TakeSettingsLines(settings, lines, programFolder);
}

std::vector<std::string> SettingsLines(const TSettings& settings) {
    const TLayoutState& layout = settings.Layout;
    const int32_t savedSkin = std::clamp(settings.SkinNumber, 0, SkinCount - 1);
    return {
        OneLine(settings.SongFolder),
        OneLine(settings.MidiFolder),
        std::to_string(settings.Range),
        std::to_string(layout.MainLeft),
        std::to_string(layout.MainTop),
        std::to_string(layout.PatternLeft),
        std::to_string(layout.PatternTop),
        std::to_string(layout.TrackLeft),
        std::to_string(layout.TrackTop),
        layout.PatternDocked ? PatternFixedText : PatternFreeText,
        std::to_string(layout.PatternPlace),
        layout.TrackDocked ? SongFixedText : SongFreeText,
        std::to_string(layout.TrackSide),
        std::to_string(savedSkin),
        settings.TonePreview ? TonePreviewOnText : TonePreviewOffText,
        std::to_string(settings.StepCapacity),
        OneLine(Utf8ToWindows1252(settings.Copyright)),
        std::string(LanguageCode(settings.Language)),
        settings.SendClock ? ClockOnText : ClockOffText,
        settings.FollowTransport ? FollowTransportOnText : FollowTransportOffText,
        settings.Link ? LinkOnText : LinkOffText,
        settings.LinkStartStop ? LinkStartStopOnText : LinkStartStopOffText,
        MidiInputWord(settings.MidiInput),
        settings.FollowClock ? FollowClockOnText : FollowClockOffText,
        std::to_string(settings.KeyboardChannel),
    };
}

namespace {

bool FileHolds(const std::string& path, const std::string& text) {
    try {
        return ReadWholeFile(path) == text;
    } catch (const FileError&) {
        return false;
    }
}

} // namespace

// A file that already holds these lines is left as it is: closing writes the settings twice,
// and every write waits for the disk.
void MakeIni(const TSettings& settings, const std::string& path) {
    std::string text;
    for (const std::string& line : SettingsLines(settings))
        text += line + LineEnd;
    if (!FileHolds(path, text))
        WriteFileAtomically(path, text);
}

std::string FolderCaption(const std::string& label, const std::string& folder) {
    return label + "  ->  " + folder;
}

std::string MidiControlFileName(const std::string& settingsPath) {
    constexpr std::string_view IniEnd = ".ini";
    const std::string base = EndsWith(settingsPath, std::string(IniEnd))
                                 ? settingsPath.substr(0, settingsPath.size() - IniEnd.size())
                                 : settingsPath;
    return base + "-midi-control.txt";
}
