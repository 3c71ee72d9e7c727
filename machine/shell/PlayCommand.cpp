#include "PlayCommand.h"

#include "EngineCommands.h"
#include "StringConvert.h"
#include "files/ImportPk.h"
#include "midi/MidiBasics.h"
#include "midi/MidiDebugLog.h"
#include "midi/MidiPortSystem.h"
#include "midi/Midi_Errors.h"
#include "midi/Playback.h"
#include "song/Melodies.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ostream>
#include <thread>

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
    interrupted = 1;
}

std::optional<double> ParseSeconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds >= 0))
        return std::nullopt;
    return seconds;
}

// The main window's device choice: open, then program and bank on the new port. Returns the
// result code of the open.
int32_t ChooseDevice(TMidiOut& out, TPkSong& song, int32_t device) {
    out.DeviceId = device;
    song.Device = device;
    out.Open();
    const int32_t opened = out.LastResult;
    out.SetPatch(song.Patch);
    out.SelectBank(song.Bank);
    return opened;
}

void WaitUntilDone(const std::optional<double>& seconds) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds.value_or(0)));
    while (!interrupted && (!seconds || Clock::now() < end))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

std::optional<TPlayRequest> ParsePlayRequest(int argc, const std::string* args, std::ostream& err) {
    if (argc < 1 || args[0].starts_with("--")) {
        err << "Plinkora: --play needs a song file\n";
        return std::nullopt;
    }
    TPlayRequest request;
    request.SongPath = args[0];
    for (int i = 1; i < argc; i += 2) {
        const std::string& option = args[i];
        if (i + 1 >= argc) {
            err << "Plinkora: " << option << " needs a value\n";
            return std::nullopt;
        }
        const std::string& value = args[i + 1];
        if (option == "--pattern" || option == "--device") {
            const auto number = TryStrToInt(value);
            if (!number) {
                err << "Plinkora: " << ConvertError(value).what() << "\n";
                return std::nullopt;
            }
            if (option == "--pattern")
                request.Pattern = *number;
            else
                request.Device = *number;
        } else if (option == "--seconds") {
            request.Seconds = ParseSeconds(value);
            if (!request.Seconds) {
                err << "Plinkora: '" << value << "' is not a number of seconds\n";
                return std::nullopt;
            }
        } else {
            err << "Plinkora: unknown option " << option << " for --play\n";
            return std::nullopt;
        }
    }
    return request;
}

int PlaySongFile(const TPlayRequest& request, std::ostream& out, std::ostream& err) {
    TPkSong song;
    TTempoInfo tempo;
    if (!ReadSong(request.SongPath, song, tempo)) {
        err << "Plinkora: " << request.SongPath << " is not a Plinkora song file\n";
        return 1;
    }
    if (request.Pattern && (*request.Pattern < 1 || *request.Pattern > song.PatternCount)) {
        err << "Plinkora: the song has no pattern " << *request.Pattern << "\n";
        return 1;
    }
    const auto port = MakeSystemMidiPort();
    TMidiSupport support;
    TMidiDebugLog debugger;
    TMidiOut midiOut(*port, support, &debugger);
    TMelodies melodies;
    TPlaybackState state;
    TPlayback playback(song, melodies, midiOut, support, tempo, state);
    ApplyLoadedSong(song, melodies, midiOut.Voice);
    if (const int32_t opened = ChooseDevice(midiOut, song, request.Device); !support.DeviceOpen) {
        err << "Plinkora: device " << request.Device << " cannot be opened:";
        if (midiOut.OpenFailure.empty())
            err << MidiErrorText(opened) << "\n";
        else
            err << " " << midiOut.OpenFailure << "\n";
        if (const std::string problem = SystemSoundFontProblem();
            request.Device == MidiMapperId && !problem.empty())
            err << "Plinkora: " << problem << "\n";
        for (const std::string& line : debugger.Lines())
            err << "  " << line << "\n";
        return 1;
    }

    state.PlayMode = request.Pattern ? TPlayMode::Pattern : TPlayMode::Track;
    if (request.Pattern)
        state.CurrentPattern = *request.Pattern;
    const TStartResult started = playback.PlayToggle();
    if (started != TStartResult::Playing) {
        err << "Plinkora: playback could not start:" << MidiErrorText(midiOut.LastResult) << "\n";
        return 1;
    }
    out << "Playing " << song.Name << " (Ctrl+C stops)\n" << std::flush;
    interrupted = 0;
    const auto previousInt = std::signal(SIGINT, OnInterrupt);
    const auto previousTerm = std::signal(SIGTERM, OnInterrupt);
    WaitUntilDone(request.Seconds);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    playback.StopToggle();
    return 0;
}
