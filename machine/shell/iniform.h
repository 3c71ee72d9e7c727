#pragma once

#include "Language.h"
#include "midi/MidiInput.h"

#include <cstdint>
#include <string>
#include <vector>

// The machine's settings file: one value per line, the line number is the key, read once at
// start and rewritten whole. Paths use '/' and are kept byte for byte as the file system has
// them; the copyright text is Windows-1252 in the file and UTF-8 in memory, as in the MIDI file.

// Where a docked window sits.
constexpr uint8_t dpAbove = 3; // pattern editor above the main window
constexpr uint8_t dpBelow = 4; // pattern editor below the main window
constexpr uint8_t dpLeft = 5;  // track editor (and server window) left
constexpr uint8_t dpRight = 6; // track editor (and server window) right

// Outer size of the main window when the settings are read.
constexpr int32_t MainWindowWidth = 398;
constexpr int32_t MainWindowHeight = 155;

constexpr int32_t SettingsLineCount = 25;
constexpr int32_t SkinCount = 23; // skins 0 (none) to 22

// The window docking and the remembered positions, shared by the windows for the whole run.
struct TLayoutState {
    int32_t MainLeft = 100;
    int32_t MainTop = 0;
    int32_t PatternLeft = 0;
    int32_t PatternTop = 0;
    int32_t TrackLeft = 0;
    int32_t TrackTop = 0;
    bool PatternDocked = true;      // the pattern editor follows the main window
    uint8_t PatternPlace = dpBelow; // dpAbove or dpBelow
    bool TrackDocked = true;        // the track editor follows the pattern editor
    uint8_t TrackSide = dpRight;    // dpLeft or dpRight; also the server window's side
    bool ServerMoved = false;       // one-shot: the user just dropped the server window; not saved

    bool operator==(const TLayoutState&) const = default;
};

struct TSettings {
    std::string SongFolder; // line 0
    std::string MidiFolder; // line 1
    int32_t Range = 37;     // line 2
    TLayoutState Layout;    // lines 3 to 12
    // Line 13 holds the skin shown; this is one less, because the end of start-up selects the
    // next skin once, which restores the saved one. May be -1 (saved skin 0).
    int32_t SkinNumber = 2;
    bool TonePreview = false;             // line 14
    int32_t StepCapacity = 16;            // line 15, written only
    std::string Copyright;                // line 16, the MIDI export's copyright text (UTF-8)
    TLanguage Language = DefaultLanguage; // line 17, "de" or "en": the language chosen last
    bool SendClock = false;               // line 18: Options > Send MIDI clock
    bool FollowTransport = false;         // line 19: Options > Follow JACK transport
    bool Link = false;                    // line 20: Options > Ableton Link
    bool LinkStartStop = true;            // line 21: Options > Sync start/stop
    TMidiInputChoice MidiInput;           // line 22: the MIDI input list ("none", "jack", "N")
    bool FollowClock = false;             // line 23: Options > Follow MIDI clock
    int32_t KeyboardChannel = 0;          // line 24: Options > Transpose from keyboard, 0 = off

    bool operator==(const TSettings&) const = default;
};

// Every default: folders program folder + "/PKSongs", range 37, the main window centred
// vertically at left 100 with the pattern editor below it and the track editor to its right.
TSettings DefaultSettings(const std::string& programFolder, int32_t screenHeight,
                          int32_t mainWidth = MainWindowWidth,
                          int32_t mainHeight = MainWindowHeight);

std::string DefaultSongFolder(const std::string& programFolder);

// The program file's path with ".ini" added, or in place of a final ".exe".
std::string SettingsFileName(const std::string& programFile);

struct TSettingsReadResult {
    // Every line was taken (the remote "CONNECT" keeps the saved skin then).
    bool SettingsRead = false;
    // The file was missing, short or damaged: the caller must write a fresh one with MakeIni.
    bool MustWrite = false;
};

// Takes lines 0 to 14 and 16 in order into `settings`, which should hold the defaults. At the
// first missing line, a number line that does not convert, or a value outside its field's
// range (note range, docking places, skin 0 to 22), it stops: the values taken stay, both
// folders return to the default folder and the range to 37. Lines 17 to 24 came later: a file
// that ends before one of them is read whole, the missing ones keep their defaults (an unknown
// language reads as German; an option that is off by default is on only with its own "... On"
// text, one that is on by default, start/stop sync, off only with its own "... Off" text; an
// input word or a keyboard channel that names none reads as the default).
TSettingsReadResult TakeSettingsLines(TSettings& settings, const std::vector<std::string>& lines,
                                      const std::string& programFolder);

// Reads the settings file at `path` (CR LF or LF line ends) as TakeSettingsLines does; a file
// that cannot be read counts as missing.
TSettingsReadResult ReadSettings(TSettings& settings, const std::string& path,
                                 const std::string& programFolder);

// The SettingsLineCount lines of the file, in order. Line breaks inside a text become spaces.
std::vector<std::string> SettingsLines(const TSettings& settings);

// Writes all the lines with CR LF ends, replacing the file only once the new one is complete.
// Throws FileError ("Cannot create file ...") when it cannot be written. The caller refreshes
// the folder captions of the Options menu afterwards (FolderCaption).
void MakeIni(const TSettings& settings, const std::string& path);

// The caption of a folder entry of the Options menu: label, "  ->  ", folder.
std::string FolderCaption(const std::string& label, const std::string& folder);

// The MIDI control assignments file beside the settings file: a final ".ini" of `settingsPath`
// replaced by "-midi-control.txt" (else that added).
std::string MidiControlFileName(const std::string& settingsPath);
