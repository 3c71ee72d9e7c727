#include "PlayCommand.h"

#include "EngineCommands.h"
#include "StringConvert.h"
#include "midi/MidiPortSystem.h"
#include "midi/Midi_Errors.h"
#include "session/MachineSession.h"

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
    TMachineSession session(MakeSystemMidiPort());
    if (!LoadSongFile(session, request.SongPath, false, err))
        return 1;
    const TPkSong& song = session.Song();
    if (request.Pattern && (*request.Pattern < 1 || *request.Pattern > song.PatternCount)) {
        err << "Plinkora: the song has no pattern " << *request.Pattern << "\n";
        return 1;
    }
    if (request.Pattern)
        session.SelectPattern(*request.Pattern);
    if (const int32_t opened = session.SetDevice(request.Device); !session.Support().DeviceOpen) {
        const TMidiOut& midiOut = session.Out();
        err << "Plinkora: device " << request.Device << " cannot be opened:";
        if (midiOut.OpenFailure.empty())
            err << MidiErrorText(opened) << "\n";
        else
            err << " " << midiOut.OpenFailure << "\n";
        if (const std::string problem = SystemSoundFontProblem();
            request.Device == MidiMapperId && !problem.empty())
            err << "Plinkora: " << problem << "\n";
        for (const std::string& line : session.DebugLog().Lines())
            err << "  " << line << "\n";
        return 1;
    }

    session.PlayInMode(request.Pattern ? TPlayMode::Pattern : TPlayMode::Track);
    if (!session.Playing()) {
        err << "Plinkora: playback could not start:" << MidiErrorText(session.Out().LastResult)
            << "\n";
        return 1;
    }
    out << "Playing " << song.Name << " (Ctrl+C stops)\n" << std::flush;
    interrupted = 0;
    const auto previousInt = std::signal(SIGINT, OnInterrupt);
    const auto previousTerm = std::signal(SIGTERM, OnInterrupt);
    WaitUntilDone(request.Seconds);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    session.StopToggle();
    return 0;
}
