#pragma once

#include "files/ExportMidi.h"
#include "midi/MidiBasics.h"
#include "midi/MidiDebugLog.h"
#include "midi/MidiPort.h"
#include "midi/Playback.h"
#include "shell/iniform.h"
#include "shell/language.h"
#include "song/Melodies.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <memory>
#include <string>
#include <vector>

// Everything the machine program holds for its whole life: the song and its timelines, the
// tempo, the MIDI output and playback, the debugger's lines and the export options. Windows get
// it by reference; tests build their own.
struct TMachine {
    TPkSong Song;
    TMelodies Melodies;
    TTempoInfo TempoInfo;
    TPlaybackState PlaybackState;
    TMidiDebugLog DebugLog;
    std::unique_ptr<TMidiPort> Port;
    // Created by the main window and freed with it.
    std::unique_ptr<TMidiSupport> MidiSupport;
    std::unique_ptr<TMidiOut> MidiOut;
    std::unique_ptr<TPlayback> Playback;
    TExportOptions ExportOptions;
    // The command line, argument 0 included.
    std::vector<std::string> Arguments;
    // The settings file and what it holds; the path is chosen at start unless set before.
    std::string SettingsPath;
    TSettings Settings;
    bool SettingsRead = false;
    // The folder that holds the default song folder PKSongs: the program folder, or for an
    // installed program <music>/Plinkora (chosen with the settings path).
    std::string DocumentHome;
    // The program is ending: its windows may close now (before, the editors refuse to).
    bool Ending = false;
    // The texts of the string table kept for later use.
    TLanguageTexts Texts;
};
