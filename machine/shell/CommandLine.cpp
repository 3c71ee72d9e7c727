#include "CommandLine.h"

#include "EngineCommands.h"
#include "PlayCommand.h"
#include "files/ExportPk.h"
#include "files/ImportPk.h"
#include "midi/TempoInfo.h"
#include "song/SongModel.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <stdexcept>

namespace {

const char* const HelpText = R"(Usage: Plinkora [SONG.pks]
       Plinkora --convert IN.pks OUT.pks
       Plinkora --export-midi SONG.pks OUT.mid
       Plinkora --list-devices
       Plinkora --play SONG.pks [--pattern N] [--seconds S] [--device N]
       Plinkora --help | --version

  SONG.pks                 load this song at start (arguments are joined with spaces)
  --convert IN OUT         read a song file in any accepted layout, write it in the full layout
  --export-midi SONG OUT   write the song as a Standard MIDI File (OUT ends in .mid)
  --list-devices           list the MIDI output devices ("Midi Mapper" first)
  --play SONG              play the track in a loop (or pattern N) through device N (default -1,
                           the built-in synthesizer) for S seconds or until Ctrl+C
  --help                   show this text
  --version                show the program version
)";

int Convert(const std::string& in, const std::string& out, std::ostream& err) {
    TPkSong song;
    TTempoInfo tempo;
    if (!ReadSong(in, song, tempo)) {
        err << "Plinkora: " << in << " is not a Plinkora song file\n";
        return 1;
    }
    WriteSong(out, song, tempo);
    return 0;
}

int ShowSong(const std::string& path, std::ostream& out, std::ostream& err) {
    if (!std::filesystem::exists(path)) {
        err << "Plinkora: no song file " << path << "\n";
        return 1;
    }
    TPkSong song;
    TTempoInfo tempo;
    if (!ReadSong(path, song, tempo)) {
        err << "Plinkora: " << path << " is not a Plinkora song file\n";
        return 1;
    }
    char bpm[32];
    std::snprintf(bpm, sizeof bpm, "%3.3f", tempo.Bpm);
    out << song.Name << ": " << song.PatternCount << " patterns of " << int(song.Steps)
        << " steps, " << song.SonglineCount << " song lines, " << song.StepTime << " ms per step ("
        << bpm << " BPM), channel " << song.Channel << "\n";
    return 0;
}

int Usage(const std::string& problem, std::ostream& err) {
    err << "Plinkora: " << problem << "\n" << HelpText;
    return 2;
}

int Dispatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        out << HelpText;
        return 0;
    }
    const std::string& option = args[0];
    if (!option.starts_with("--")) {
        std::string song = args[0];
        for (size_t i = 1; i < args.size(); ++i)
            song += " " + args[i];
        return ShowSong(song, out, err);
    }
    if (option == "--help") {
        out << HelpText;
        return 0;
    }
    if (option == "--version") {
        out << VersionText() << "\n";
        return 0;
    }
    if (option == "--convert") {
        if (args.size() != 3)
            return Usage("--convert needs an input and an output file", err);
        return Convert(args[1], args[2], err);
    }
    if (option == "--export-midi") {
        if (args.size() != 3)
            return Usage("--export-midi needs a song file and a MIDI file", err);
        return ExportMidiFile(args[1], args[2], out, err);
    }
    if (option == "--list-devices")
        return ListDevices(out);
    if (option == "--play") {
        const auto request =
            ParsePlayRequest(static_cast<int>(args.size()) - 1, args.data() + 1, err);
        return request ? PlaySongFile(*request, out, err) : 2;
    }
    return Usage("unknown option " + option, err);
}

} // namespace

std::string VersionText() {
    char text[64];
    std::snprintf(text, sizeof text, "Plinkora v%d.%d%d%d", PLINKORA_VERSION_MAJOR,
                  PLINKORA_VERSION_MINOR, PLINKORA_VERSION_PATCH, PLINKORA_VERSION_TWEAK);
    return text;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        return Dispatch(args, out, err);
    } catch (const std::exception& error) {
        err << "Plinkora: " << error.what() << "\n";
        return 1;
    }
}
