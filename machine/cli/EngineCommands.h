#pragma once

#include <iosfwd>
#include <string>

class TMachineSession;

// Command-line actions that run the machine without windows. Each returns the exit status and
// throws on file errors (the caller reports them).

// Loads `path` as the windows do (the device choice aside); false after writing why to `err`.
// Throws FileError when there is no song file to read.
bool LoadSongFile(TMachineSession& session, const std::string& path, bool chooseDevice,
                  std::ostream& err);

// Prints the output device list as the main window fills it: "Midi Mapper" first.
int ListDevices(std::ostream& out, const std::string& machineName = "Plinkora");

// Writes the MIDI file that the remote "SAVEMIDI" writes for `songPath` on a freshly started
// machine.
int ExportMidiFile(const std::string& songPath, const std::string& midiPath, std::ostream& out,
                   std::ostream& err);

// Renders the song's track once into a sound file (TMachineSession::RenderAudio) and prints the
// file written and the seconds of sound.
int RenderSongFile(const std::string& songPath, const std::string& outputPath, std::ostream& out,
                   std::ostream& err);
