#include "PlayCommand.h"

#include "EngineCommands.h"
#include "StringConvert.h"
#include "midi/Futex.h"
#include "midi/MidiPortSystem.h"
#include "midi/Midi_Errors.h"
#include "midi/MonotonicClock.h"
#include "session/MachineSession.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <time.h>

namespace {

// Set by SIGINT or SIGTERM, whichever thread the signal reaches; the main thread sleeps on it.
std::atomic<uint32_t> interrupted{0};
static_assert(std::atomic<uint32_t>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    const int saved = errno;
    interrupted.store(1);
    FutexWake(interrupted);
    errno = saved;
}

std::optional<double> ParseSeconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds >= 0))
        return std::nullopt;
    return seconds;
}

// How often a machine in a Link session takes in what the session did, and one with a MIDI
// input what it received (as the windows' follower does).
constexpr long FollowIntervalNs = 30000000;

// Sleeps until the time is up or a signal comes. Beyond a billion seconds (some 30 years, or
// "inf") there is no end but the signal. In between it wakes only to run `follow` every
// FollowIntervalNs, when there is one.
void WaitUntilDone(const std::optional<double>& seconds, const std::function<void()>& follow) {
    const bool limited = seconds && *seconds < 1e9;
    timespec end = MonotonicNow();
    Advance(end, limited ? static_cast<long>(*seconds * 1e9) : 0);
    while (interrupted.load() == 0 && !(limited && !Before(MonotonicNow(), end))) {
        if (!follow) {
            FutexWait(interrupted, 0, limited ? &end : nullptr);
            continue;
        }
        timespec wake = MonotonicNow();
        Advance(wake, FollowIntervalNs);
        FutexWait(interrupted, 0, limited && Before(end, wake) ? &end : &wake);
        follow();
    }
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
        if (option == "--device" && value == JackDeviceWord) {
            request.Jack = true;
        } else if (option == "--pattern" || option == "--device") {
            const auto number = TryStrToInt(value);
            if (!number) {
                err << "Plinkora: " << ConvertError(value).what() << "\n";
                return std::nullopt;
            }
            if (option == "--pattern") {
                request.Pattern = *number;
            } else {
                request.Device = *number;
                request.Jack = false;
            }
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

int PlaySongFile(const TPlayRequest& request, std::ostream& out, std::ostream& err,
                 const std::string& machineName) {
    auto port = std::make_unique<TSystemMidiPort>(SystemMidiOptionsFromEnvironment(machineName));
    TSystemMidiPort& systemPort = *port;
    TMachineSession session(std::move(port));
    if (!LoadSongFile(session, request.SongPath, false, err))
        return 1;
    const TPkSong& song = session.Song();
    if (request.Pattern && (*request.Pattern < 1 || *request.Pattern > song.PatternCount)) {
        err << "Plinkora: the song has no pattern " << *request.Pattern << "\n";
        return 1;
    }
    if (request.Pattern)
        session.SelectPattern(*request.Pattern);
    UseSyncOptions(session, request.Sync, {});
    if (!session.MidiInputNotice().Empty()) {
        err << "Plinkora: " << MessageText(session.MidiInputNotice()) << "\n";
        return 1;
    }
    const int32_t device = request.Jack ? systemPort.JackDeviceId() : request.Device;
    if (const int32_t opened = session.SetDevice(device); !session.Support().DeviceOpen) {
        const TMidiOut& midiOut = session.Out();
        err << "Plinkora: device "
            << (request.Jack ? std::string(JackDeviceWord) : std::to_string(request.Device))
            << " cannot be opened:";
        if (midiOut.OpenFailure.Empty())
            err << MidiErrorText(opened) << "\n";
        else
            err << " " << MessageText(midiOut.OpenFailure) << "\n";
        if (const TUserMessage problem = SystemSoundFontProblem();
            device == MidiMapperId && !problem.Empty())
            err << "Plinkora: " << MessageText(problem) << "\n";
        return 1;
    }

    session.PlayInMode(request.Pattern ? TPlayMode::Pattern : TPlayMode::Track);
    if (!session.Playing() && !session.FollowsClock()) {
        err << "Plinkora: playback could not start:" << MidiErrorText(session.Out().LastResult)
            << "\n";
        return 1;
    }
    out << (session.FollowsClock() ? "Following the MIDI clock with " : "Playing ") << song.Name
        << " (Ctrl+C stops)\n"
        << std::flush;
    interrupted.store(0);
    const auto previousInt = std::signal(SIGINT, OnInterrupt);
    const auto previousTerm = std::signal(SIGTERM, OnInterrupt);
    std::function<void()> follow;
    if (session.LinksOn() || session.MidiInput().Kind != TMidiInputChoice::TKind::None ||
        session.FollowsClock())
        follow = [&session] {
            session.FollowPlayback();
            session.TakeInOutput();
        };
    WaitUntilDone(request.Seconds, follow);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    session.StopToggle();
    return 0;
}
