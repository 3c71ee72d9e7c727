#pragma once

#include <iosfwd>
#include <string>

struct TPkSong;
class TMelodies;
struct TMidiVoice;

// What loading a song does to a fresh machine: the output takes the song's channel and the
// transposition of pattern 1, every pattern takes that transposition, the timelines are built
// and the song is ready.
void ApplyLoadedSong(TPkSong& song, TMelodies& melodies, TMidiVoice& voice);

// Command-line actions that run the engine without windows. Each returns the exit status and
// throws on file errors (the caller reports them).

// Prints the output device list as the main window fills it: "Midi Mapper" first.
int ListDevices(std::ostream& out);

// Writes the MIDI file that the remote "SAVEMIDI" would write for `songPath` on a freshly
// started machine.
int ExportMidiFile(const std::string& songPath, const std::string& midiPath, std::ostream& out,
                   std::ostream& err);
