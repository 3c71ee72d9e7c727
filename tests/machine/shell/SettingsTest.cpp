#include "TempDir.h"
#include "files/FileError.h"
#include "shell/Machine.h"
#include "shell/iniform.h"

#include <QCoreApplication>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

const std::string Folder = "/opt/plinkora";
constexpr int32_t ScreenHeight = 800;

std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(TempDir::Read(path));
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "line without CR LF: " << line;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines, const std::string& end) {
    std::string text;
    for (const auto& line : lines)
        text += line + end;
    return text;
}

// A complete file that differs from the defaults on every line.
std::vector<std::string> CustomLines() {
    return {"/home/j\xC3\xBCrgen/songs", // paths as the file system has them (UTF-8 here)
            "/home/ann/midi",
            "49",
            "7",
            "-12",
            "30",
            "40",
            "50",
            "60",
            "PatternFree",
            "3",
            "SongFree",
            "5",
            "5",
            "Tone Preview On",
            "16",
            "(C) Ann \xE4\xF6\xFC \x80", // Windows-1252
            "en",
            "MIDI Clock On",
            "Follow Transport On",
            "Ableton Link On",
            "Link Start Stop Off",
            "3",
            "Follow MIDI Clock On",
            "10"};
}

struct Started {
    TSettings settings;
    TSettingsReadResult result;
};

// What the main window does at its creation: defaults, read, write a fresh file if needed.
Started StartWith(const std::string& path) {
    Started start{DefaultSettings(Folder, ScreenHeight), {}};
    start.result = ReadSettings(start.settings, path, Folder);
    if (start.result.MustWrite)
        MakeIni(start.settings, path);
    return start;
}

} // namespace

TEST(Settings, DefaultsFollowTheScreenAndTheMainWindow) {
    const TSettings s = DefaultSettings(Folder, 801);
    EXPECT_EQ(s.SongFolder, "/opt/plinkora/PKSongs");
    EXPECT_EQ(s.MidiFolder, "/opt/plinkora/PKSongs");
    EXPECT_EQ(s.Range, 37);
    EXPECT_EQ(s.Layout.MainLeft, 100);
    EXPECT_EQ(s.Layout.MainTop, (801 - 448) / 2);
    EXPECT_EQ(s.Layout.PatternLeft, 100);
    EXPECT_EQ(s.Layout.PatternTop, 176 + 155);
    EXPECT_EQ(s.Layout.TrackLeft, 100 + 398);
    EXPECT_EQ(s.Layout.TrackTop, 176 + 155);
    EXPECT_TRUE(s.Layout.PatternDocked);
    EXPECT_EQ(s.Layout.PatternPlace, dpBelow);
    EXPECT_TRUE(s.Layout.TrackDocked);
    EXPECT_EQ(s.Layout.TrackSide, dpRight);
    EXPECT_EQ(s.SkinNumber, 2);
    EXPECT_FALSE(s.TonePreview);
    EXPECT_FALSE(s.Copyright.empty());
    // A screen lower than the windows: the half is taken toward zero.
    EXPECT_EQ(DefaultSettings(Folder, 400).Layout.MainTop, -24);
    EXPECT_EQ(DefaultSettings(Folder, 800, 300, 100).Layout.TrackLeft, 400);
}

// The song folder lies beside the program file, wherever the program was started from and
// whatever argument 0 says.
TEST(Settings, TheDefaultSongFolderIsBesideTheProgram) {
    const std::string beside = QCoreApplication::applicationDirPath().toStdString() + "/PKSongs";
    TempDir dir;
    const std::filesystem::path started = std::filesystem::current_path();
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"Plinkora"},
                                                      {"/usr/lib/plinkora/Plinkora", "song.pks"},
                                                      {"./Plinkora", "x"}}) {
        for (const std::string& from : {std::string("/"), dir.File("")}) {
            std::filesystem::current_path(from);
            TMachine machine;
            machine.TakeCommandLine(arguments);
            machine.SettingsPath = dir.File("Plinkora.ini");
            std::string folderProblem;
            machine.ReadSettingsFile(ScreenHeight, folderProblem);
            EXPECT_EQ(machine.Settings.SongFolder, beside) << from << " " << arguments[0];
            EXPECT_EQ(machine.Settings.MidiFolder, beside);
        }
    }
    std::filesystem::current_path(started);
    EXPECT_EQ(DefaultSongFolder("/"), "/PKSongs") << "a program in the root folder";
}

TEST(Settings, SettingsFileName) {
    EXPECT_EQ(SettingsFileName("/opt/pk/Plinkora"), "/opt/pk/Plinkora.ini");
    EXPECT_EQ(SettingsFileName("/opt/pk/PK2"), "/opt/pk/PK2.ini");
    EXPECT_EQ(SettingsFileName("/opt/pk/Plinkora.exe"), "/opt/pk/Plinkora.ini");
}

TEST(Settings, FirstStartWritesACompleteFile) {
    TempDir dir;
    const std::string path = dir.File("Plinkora.ini");
    const Started start = StartWith(path);
    EXPECT_FALSE(start.result.SettingsRead);
    EXPECT_TRUE(start.result.MustWrite);
    EXPECT_EQ(start.settings, DefaultSettings(Folder, ScreenHeight));

    const auto lines = FileLines(path);
    ASSERT_EQ(lines.size(), size_t(SettingsLineCount));
    EXPECT_EQ(lines[0], "/opt/plinkora/PKSongs");
    EXPECT_EQ(lines[1], "/opt/plinkora/PKSongs");
    EXPECT_EQ(lines[2], "37");
    EXPECT_EQ(lines[3], "100");
    EXPECT_EQ(lines[4], std::to_string((ScreenHeight - 448) / 2));
    EXPECT_EQ(lines[9], "PatternFixed");
    EXPECT_EQ(lines[10], "4");
    EXPECT_EQ(lines[11], "SongFixed");
    EXPECT_EQ(lines[12], "6");
    EXPECT_EQ(lines[13], "2");
    EXPECT_EQ(lines[14], "Tone Preview Off");
    EXPECT_EQ(lines[15], "16");
    EXPECT_EQ(lines[18], "MIDI Clock Off");
    EXPECT_EQ(lines[19], "Follow Transport Off");
    EXPECT_EQ(lines[20], "Ableton Link Off");
    EXPECT_EQ(lines[21], "Link Start Stop On");
    EXPECT_EQ(lines[22], "none");
    EXPECT_EQ(lines[23], "Follow MIDI Clock Off");
    EXPECT_EQ(lines[24], "0");

    // The second start finds everything.
    const Started again = StartWith(path);
    EXPECT_TRUE(again.result.SettingsRead);
    EXPECT_FALSE(again.result.MustWrite);
}

TEST(Settings, EveryLineRoundTrips) {
    TempDir dir;
    const std::string path = dir.Write("PK0.ini", Join(CustomLines(), "\r\n"));
    const Started start = StartWith(path);
    ASSERT_TRUE(start.result.SettingsRead);
    const TSettings& s = start.settings;
    EXPECT_EQ(s.SongFolder, "/home/jürgen/songs");
    EXPECT_EQ(s.MidiFolder, "/home/ann/midi");
    EXPECT_EQ(s.Range, 49);
    EXPECT_EQ(s.Layout.MainLeft, 7);
    EXPECT_EQ(s.Layout.MainTop, -12);
    EXPECT_EQ(s.Layout.PatternLeft, 30);
    EXPECT_EQ(s.Layout.PatternTop, 40);
    EXPECT_EQ(s.Layout.TrackLeft, 50);
    EXPECT_EQ(s.Layout.TrackTop, 60);
    EXPECT_FALSE(s.Layout.PatternDocked);
    EXPECT_EQ(s.Layout.PatternPlace, dpAbove);
    EXPECT_FALSE(s.Layout.TrackDocked);
    EXPECT_EQ(s.Layout.TrackSide, dpLeft);
    EXPECT_EQ(s.SkinNumber, 4); // the start-up's next-skin step shows skin 5
    EXPECT_TRUE(s.TonePreview);
    EXPECT_EQ(s.Copyright, "(C) Ann äöü €");
    EXPECT_EQ(s.Language, TLanguage::English);
    EXPECT_TRUE(s.SendClock);
    EXPECT_TRUE(s.FollowTransport);
    EXPECT_TRUE(s.Link);
    EXPECT_FALSE(s.LinkStartStop);
    EXPECT_EQ(s.MidiInput, (TMidiInputChoice{TMidiInputChoice::TKind::Alsa, 3}));
    EXPECT_TRUE(s.FollowClock);
    EXPECT_EQ(s.KeyboardChannel, 10);

    // Written back after the next-skin step, the file is the same byte for byte.
    TSettings shown = s;
    shown.SkinNumber = 5;
    MakeIni(shown, path);
    EXPECT_EQ(FileLines(path), CustomLines());
}

TEST(Settings, LfLineEndsAndAMissingLastLineEnd) {
    TempDir dir;
    std::string text = Join(CustomLines(), "\n");
    text.pop_back();
    TSettings s = DefaultSettings(Folder, ScreenHeight);
    EXPECT_TRUE(ReadSettings(s, dir.Write("lf.ini", text), Folder).SettingsRead);
    EXPECT_EQ(s.Copyright, "(C) Ann äöü €");
    EXPECT_EQ(s.Range, 49);
}

TEST(Settings, AShortFileKeepsWhatItHasAndIsRewritten) {
    TempDir dir;
    const auto custom = CustomLines();
    const std::string path =
        dir.Write("short.ini", Join({custom.begin(), custom.begin() + 5}, "\r\n"));
    const Started start = StartWith(path);
    EXPECT_FALSE(start.result.SettingsRead);

    TSettings expected = DefaultSettings(Folder, ScreenHeight);
    expected.Layout.MainLeft = 7;
    expected.Layout.MainTop = -12;
    EXPECT_EQ(start.settings, expected);
    const auto lines = FileLines(path);
    ASSERT_EQ(lines.size(), size_t(SettingsLineCount));
    EXPECT_EQ(lines[0], "/opt/plinkora/PKSongs");
    EXPECT_EQ(lines[2], "37");
    EXPECT_EQ(lines[3], "7");
    EXPECT_EQ(lines[4], "-12");
}

TEST(Settings, ALineOfSixteenIsStillShort) {
    // Line 15 is never read, but line 16 must be there.
    TempDir dir;
    auto lines = CustomLines();
    lines.resize(16);
    TSettings s = DefaultSettings(Folder, ScreenHeight);
    const auto result = ReadSettings(s, dir.Write("16.ini", Join(lines, "\r\n")), Folder);
    EXPECT_FALSE(result.SettingsRead);
    EXPECT_TRUE(result.MustWrite);
    EXPECT_TRUE(s.TonePreview); // taken before the missing line
    EXPECT_EQ(s.Range, 37);     // reset
    EXPECT_EQ(s.SongFolder, "/opt/plinkora/PKSongs");

    lines.push_back("");
    lines[15] = "not a number";
    s = DefaultSettings(Folder, ScreenHeight);
    EXPECT_TRUE(ReadSettings(s, dir.Write("17.ini", Join(lines, "\r\n")), Folder).SettingsRead);
    EXPECT_EQ(s.Copyright, "");
    EXPECT_EQ(s.Language, TLanguage::German); // files of older versions end here

    lines.push_back("fr");
    s.Language = TLanguage::English;
    EXPECT_TRUE(ReadSettings(s, dir.Write("18.ini", Join(lines, "\r\n")), Folder).SettingsRead);
    EXPECT_EQ(s.Language, TLanguage::German);
}

// Files of older versions end after the copyright (line 16), the language (line 17) or an option:
// they are read whole, the options they do not hold keep their defaults (start/stop sync on, the
// others off), and the next write completes them.
TEST(Settings, AFileOfAnOlderVersionIsReadWholeAndItsMissingOptionsKeepTheirDefaults) {
    TempDir dir;
    for (const size_t count : {17u, 18u, 19u, 20u, 21u, 22u, 23u, 24u}) {
        SCOPED_TRACE(count);
        auto lines = CustomLines();
        lines.resize(count);
        const std::string path = dir.Write("old.ini", Join(lines, "\r\n"));
        const Started start = StartWith(path);
        EXPECT_TRUE(start.result.SettingsRead);
        EXPECT_FALSE(start.result.MustWrite);
        const TSettings& s = start.settings;
        EXPECT_EQ(s.SongFolder, "/home/jürgen/songs");
        EXPECT_EQ(s.MidiFolder, "/home/ann/midi");
        EXPECT_EQ(s.Range, 49);
        EXPECT_EQ(s.Copyright, "(C) Ann äöü €");
        EXPECT_EQ(s.Language, count > 17 ? TLanguage::English : TLanguage::German);
        EXPECT_EQ(s.SendClock, count > 18);
        EXPECT_EQ(s.FollowTransport, count > 19);
        EXPECT_EQ(s.Link, count > 20);
        EXPECT_EQ(s.LinkStartStop, count <= 21);
        EXPECT_EQ(s.MidiInput.Kind,
                  count > 22 ? TMidiInputChoice::TKind::Alsa : TMidiInputChoice::TKind::None);
        EXPECT_EQ(s.FollowClock, count > 23);
        EXPECT_EQ(s.KeyboardChannel, 0);

        MakeIni(s, path);
        const auto written = FileLines(path);
        ASSERT_EQ(written.size(), size_t(SettingsLineCount));
        EXPECT_EQ(written[0], lines[0]);
        EXPECT_EQ(written[21], count <= 21 ? "Link Start Stop On" : "Link Start Stop Off");
        EXPECT_EQ(written[24], "0");
    }
    auto lines = CustomLines();
    lines[18] = "on";
    lines[21] = "off";
    lines[23] = "Follow MIDI Clock";
    TSettings s = DefaultSettings(Folder, ScreenHeight);
    EXPECT_TRUE(ReadSettings(s, dir.Write("odd.ini", Join(lines, "\r\n")), Folder).SettingsRead);
    EXPECT_FALSE(s.SendClock) << "only its own text turns an option on";
    EXPECT_TRUE(s.FollowTransport);
    EXPECT_TRUE(s.LinkStartStop) << "only its own text turns an option off that is on by default";
    EXPECT_FALSE(s.FollowClock);
    EXPECT_EQ(s.MidiInput.Device, 3);

    // An input or keyboard channel that names none reads as the default; the rest still counts.
    for (const auto& [input, channel] : {std::pair{"midi", "17"}, {"-2", "ten"}, {"", "-1"}}) {
        lines[22] = input;
        lines[24] = channel;
        s = DefaultSettings(Folder, ScreenHeight);
        EXPECT_TRUE(
            ReadSettings(s, dir.Write("bad.ini", Join(lines, "\r\n")), Folder).SettingsRead);
        EXPECT_EQ(s.MidiInput, TMidiInputChoice{}) << input;
        EXPECT_EQ(s.KeyboardChannel, 0) << channel;
        EXPECT_EQ(s.Range, 49);
    }
    lines[22] = " Jack ";
    lines[24] = "16";
    EXPECT_TRUE(ReadSettings(s, dir.Write("jack.ini", Join(lines, "\r\n")), Folder).SettingsRead);
    EXPECT_EQ(s.MidiInput.Kind, TMidiInputChoice::TKind::Jack);
    EXPECT_EQ(s.KeyboardChannel, 16);
}

TEST(Settings, ADamagedLineStopsTheReading) {
    struct Case {
        int line;
        std::string text;
    };
    const Case cases[] = {{6, "4O"}, {6, ""},   {2, "40"},  {2, "0"},
                          {10, "5"}, {12, "4"}, {13, "23"}, {13, "-1"}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line) + " '" + c.text + "'");
        auto lines = CustomLines();
        lines[c.line] = c.text;
        const std::string path = dir.Write("bad.ini", Join(lines, "\r\n"));
        const Started start = StartWith(path);
        EXPECT_FALSE(start.result.SettingsRead);
        const TSettings& s = start.settings;
        EXPECT_EQ(s.SongFolder, "/opt/plinkora/PKSongs");
        EXPECT_EQ(s.Range, 37);
        EXPECT_EQ(s.Layout.MainLeft, c.line > 3 ? 7 : 100); // lines before the damage stay
        EXPECT_EQ(s.SkinNumber, 2);                         // lines after it keep their defaults
        EXPECT_FALSE(s.TonePreview);
        EXPECT_EQ(FileLines(path).size(), size_t(SettingsLineCount));
    }
}

TEST(Settings, SkinZeroIsSavedAsZero) {
    TempDir dir;
    auto lines = CustomLines();
    lines[13] = "0";
    TSettings s = DefaultSettings(Folder, ScreenHeight);
    ASSERT_TRUE(ReadSettings(s, dir.Write("skin.ini", Join(lines, "\r\n")), Folder).SettingsRead);
    EXPECT_EQ(s.SkinNumber, -1); // the next-skin step turns it into 0
    EXPECT_EQ(SettingsLines(s)[13], "0");
}

TEST(Settings, TextsStayOnTheirLine) {
    TSettings s = DefaultSettings(Folder, ScreenHeight);
    s.Copyright = "two\r\nlines";
    s.SongFolder = "/a\nb";
    const auto lines = SettingsLines(s);
    ASSERT_EQ(lines.size(), size_t(SettingsLineCount));
    EXPECT_EQ(lines[16], "two  lines");
    EXPECT_EQ(lines[0], "/a b");
}

TEST(Settings, AWriteThatFailsThrowsTheFileError) {
    TempDir dir;
    const TSettings s = DefaultSettings(Folder, ScreenHeight);
    EXPECT_THROW(MakeIni(s, dir.File("missing/Plinkora.ini")), FileError);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(Settings, TheMidiControlFileLiesBesideTheSettings) {
    EXPECT_EQ(MidiControlFileName("/home/ann/.config/plinkora/PK2.ini"),
              "/home/ann/.config/plinkora/PK2-midi-control.txt");
    EXPECT_EQ(MidiControlFileName("/opt/p/Plinkora"), "/opt/p/Plinkora-midi-control.txt");
    EXPECT_EQ(MidiControlFileName("/opt/p.ini/Plinkora.ini.bak"),
              "/opt/p.ini/Plinkora.ini.bak-midi-control.txt");
}

TEST(Settings, FolderCaption) {
    EXPECT_EQ(FolderCaption("Song (*.pks) Verzeichnis", "/home/ann/songs"),
              "Song (*.pks) Verzeichnis  ->  /home/ann/songs");
}
