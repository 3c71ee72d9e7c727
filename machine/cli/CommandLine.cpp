#include "CommandLine.h"

#include "AudioRender.h"
#include "EngineCommands.h"
#include "GetPureFilename.h"
#include "PlayCommand.h"
#include "ProgramVersion.h"
#include "SyncOptions.h"
#include "files/ExportPk.h"
#include "files/ImportPk.h"
#include "session/MachineTexts.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

const char* const HelpText = R"(Usage: Plinkora [SONG.pks]
       Plinkora --convert IN.pks OUT.pks
       Plinkora --export-midi SONG.pks OUT.mid
       Plinkora --render SONG.pks OUT.wav
       Plinkora --list-devices
       Plinkora --play SONG.pks [--pattern N] [--seconds S] [--device N|jack]
       Plinkora --serve [SONG.pks]
       Plinkora --help | --version
       (each may also take --language de|en; the windows, --play and --serve also
       --clock, --follow-transport, --link, --midi-in none|jack|N and --follow-clock)

  SONG.pks                 start the windows and load this song (arguments are joined with
                           spaces, so a path with spaces needs no quotes)
  --convert IN OUT         read a song file in any accepted layout, write it in the full layout
  --export-midi SONG OUT   write the song as a Standard MIDI File (OUT ends in .mid)
  --render SONG OUT        play the song's track once through the built-in synthesizer into a
                           sound file, much faster than real time (16-bit, 44,100 Hz, stereo;
                           OUT ends in one of: %s)
  --list-devices           list the MIDI output devices ("Midi Mapper" first, "JACK" last
                           while a JACK server runs)
  --play SONG              play the track in a loop (or pattern N) through device N (default -1,
                           the built-in synthesizer; "jack": the machine's own JACK port) for S
                           seconds or until Ctrl+C
  --serve [SONG]           answer remote commands without windows (load the song first) until
                           "EXIT" or a termination signal; no settings are written
  --clock                  send MIDI clock while playing (24 pulses per quarter note, Start
                           and Stop), for this run, as Options > Send MIDI clock does
  --follow-transport       follow the JACK transport on the device "JACK" for this run, as
                           Options > Follow JACK transport does: play when it starts rolling,
                           stop when it stops; the play buttons start and stop the transport
  --link                   join the Ableton Link session on the local network for this run, as
                           Options > Ableton Link does: the session's tempo and beat grid, a
                           start on the session's next bar
  --midi-in none|jack|N    read MIDI from no input, the midi_in port of the machine's own JACK
                           client, or ALSA input port N (counted from 0 as the main window's
                           MIDI input list shows them), for this run: notes and controllers
                           play the machine as Options > MIDI control assigns them
  --follow-clock           follow the MIDI clock on the input for this run, as Options > Follow
                           MIDI clock does: the leader's Start, Stop and Continue play and stop,
                           its pulses give the steps and the tempo (Ableton Link is then off)
  --help                   show this text
  --version                show the program version and licence
  --language de|en         German or English for this run (windows, messages, the guide);
                           without it, the language last chosen in the Options menu

Environment:
  PLINKORA_JACK_CONNECT    comma-separated JACK ports the machine's port midi_out is connected
                           to when it opens (for use without a patchbay)
)";

int Convert(const std::string& in, const std::string& out, std::ostream& err) {
    TPkSong song;
    TTempoInfo tempo;
    if (!ReadSong(in, song, tempo)) {
        err << "Plinkora: " << MessageText(Message(TMessageKind::NotSongFile, {Plain(in)})) << "\n";
        return 1;
    }
    WriteSong(out, song, tempo);
    return 0;
}

// The help, naming the sound files this FluidSynth can write.
std::string Help() {
    std::string formats;
    for (const std::string& extension : RenderableExtensions())
        formats += (formats.empty() ? "." : ", .") + extension;
    const std::string_view text = HelpText;
    const size_t at = text.find("%s");
    return std::string(text.substr(0, at)) + formats + std::string(text.substr(at + 2));
}

int Usage(const std::string& problem, std::ostream& err) {
    err << "Plinkora: " << problem << "\n" << Help();
    return 2;
}

// A command that cannot run as given: only the problem, no file touched.
int Refuse(const std::string& problem, std::ostream& err) {
    err << "Plinkora: " << problem << "\n";
    return 2;
}

int Dispatch(const std::vector<std::string>& args, const TSyncOptions& sync, std::ostream& out,
             std::ostream& err, const std::string& machineName) {
    if (args.empty()) {
        out << Help();
        return 0;
    }
    const std::string& option = args[0];
    if (option != "--play" && sync.Any())
        return Usage("--clock, --follow-transport, --link, --midi-in and --follow-clock go with "
                     "--play, --serve or the windows",
                     err);
    if (option == "--help") {
        out << Help();
        return 0;
    }
    if (option == "--version") {
        out << VersionText() << "\n" << ProgramLicenceText();
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
        if (!NamesMidiFile(args[2]))
            return Refuse("the MIDI file " + args[2] + " does not end in .mid", err);
        return ExportMidiFile(args[1], args[2], out, err);
    }
    if (option == "--render") {
        if (args.size() != 3)
            return Usage("--render needs a song file and a sound file", err);
        return RenderSongFile(args[1], args[2], out, err);
    }
    if (option == "--list-devices")
        return ListDevices(out, machineName);
    if (option == "--play") {
        auto request = ParsePlayRequest(static_cast<int>(args.size()) - 1, args.data() + 1, err);
        if (!request)
            return 2;
        request->Sync = sync;
        return PlaySongFile(*request, out, err, machineName);
    }
    return Usage("unknown option " + option, err);
}

} // namespace

std::string VersionNumberText() {
    return ProgramVersionText();
}

std::string VersionText() {
    return "Plinkora v" + VersionNumberText();
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   TLanguage language, const std::string& machineName) {
    UseLanguage(language);
    std::vector<std::string> action = args;
    const TSyncOptions sync = TakeSyncOptions(action);
    if (!sync.Error.empty())
        return Usage(sync.Error, err);
    try {
        return Dispatch(action, sync, out, err, machineName);
    } catch (const std::exception& error) {
        err << "Plinkora: " << FailureText(error) << "\n";
        return 1;
    }
}
