#pragma once

// "Plinkora --serve [SONG]": the machine without windows. It loads the song, publishes its
// command server and answers every command as a machine with windows does, through the same
// session; what only windows can do (layout, minimise, skins) does nothing. It writes no settings
// file and asks no question; "EXIT" or a termination signal ends it. Programs that only want a
// machine's files (the controller's export without windows) start it so.
int RunServingMachine(int argc, char** argv);
