#pragma once

#include "Machine.h"
#include "server/MachineServer.h"
#include "server/MachineView.h"

#include <memory>
#include <string>
#include <vector>

// "Plinkora --serve [SONG]": the machine without windows. It reads the settings, takes the
// language, loads the song and answers every command as a machine with windows does, through the
// same session and command handler; what only windows can do (layout, minimise, skins) does
// nothing. It writes no settings file and asks no question; "EXIT" or a termination signal ends
// it. Programs that only want a machine's files (the controller's export without windows) start
// it so.
class TServingMachine {
public:
    // `arguments` is the command line with argument 0 and without "--serve"; `settingsPath`
    // overrides the settings file beside the program and `port` the system's MIDI ports (tests).
    explicit TServingMachine(std::vector<std::string> arguments, std::string settingsPath = {},
                             std::unique_ptr<TMidiPort> port = nullptr);

    TMachine Machine;
    TNoWindows View;
    TMachineServer Server{
        Machine.Session, {Machine.Settings.SongFolder, Machine.Settings.MidiFolder}, View};
};

// Runs a serving machine on the command line's arguments until it ends. Needs no display.
int RunServingMachine(int argc, char** argv);
