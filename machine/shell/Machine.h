#pragma once

#include "cli/SyncOptions.h"
#include "server/PlaybackFollower.h"
#include "session/MachineSession.h"
#include "shell/iniform.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the machine program holds for its whole life: the session (the song and everything that
// plays and exports it), the command line, and the settings file with what it holds. The main
// window and the start-up get it by reference; tests build their own.
struct TMachine {
    // `port` gives the MIDI devices (tests pass their own); the system's when null.
    explicit TMachine(std::unique_ptr<TMidiPort> port = nullptr);

    TMachineSession Session;
    TPlaybackFollower Follower{Session};
    // The command line, argument 0 included, without the language and synchronisation options.
    std::vector<std::string> Arguments;
    // The language chosen for this run (on the command line, or later in the menu); when none,
    // the settings' language.
    std::optional<TLanguage> RunLanguage;
    // "--clock", "--follow-transport", "--link", "--midi-in", "--follow-clock": for this run,
    // whatever the settings keep.
    TSyncOptions RunSync;
    // The settings file and what it holds; the path is chosen at start unless set before.
    std::string SettingsPath;
    TSettings Settings;
    bool SettingsRead = false;
    // The lines of the MIDI control file that the start skipped (and a file that could not be
    // read): the windows show them once after start, a serving machine on standard error.
    std::vector<TUserMessage> MidiControlProblems;
    // The folder that holds the default song folder PKSongs: the program folder, or for an
    // installed program <music>/Plinkora (chosen with the settings path).
    std::string DocumentHome;

    // The command line, argument 0 included: a language option chooses the run's language, the
    // synchronisation options the run's synchronisation, and they are taken out; the rest are
    // the arguments.
    void TakeCommandLine(std::vector<std::string> arguments);
    // The screen height the window defaults assume where no screen is known.
    static constexpr int32_t FallbackScreenHeight = 768;
    // Chooses the document home and, unless set before, the settings file (making its folder;
    // `folderProblem` says why that failed), reads the settings over the defaults and hands the
    // session its part of them (the synchronisation and the MIDI input with the run's options,
    // the MIDI control file beside the settings). The caller writes a fresh file when the
    // result asks for it.
    TSettingsReadResult ReadSettingsFile(int32_t screenHeight, std::string& folderProblem);
    // The song named on the command line: arguments 1..n joined with single spaces, so that a
    // path with spaces survives being split.
    std::string SongArgument() const;
    // The command line's language, else the one the settings keep; made the current one.
    TLanguage UseLanguageOfRun() const;

private:
    void UseSessionSettings();
};
