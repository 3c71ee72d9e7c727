// Playback timing: plays a 16-step pattern at 30 ms per step for 30 seconds (or the seconds
// given as the argument) through the message-log device, with the playback engine and its
// timer thread as `Plinkora --play` uses them. Then it reads the log and prints how late each
// sent message was against the tick schedule (median, 99th percentile, maximum), the error of
// the first and of the last message (drift), and the CPU time of the playback thread and of the
// whole process per second of playback, beside the process's CPU time while it only waits.
// It plays twice, once with the timer ticking every millisecond and once sleeping over the
// ticks that only count, and prints both side by side. Then it runs the machine program
// (Plinkora, found beside this program or one folder up; or the second argument) as
// `Plinkora --play` of that pattern for 12 s and for 2 s and prints, from the difference, the
// CPU and the context switches (wake-ups) per second of playback once started; last it starts
// the machine with its windows offscreen and prints the CPU it uses while nothing plays.

#include "files/ExportPk.h"
#include "midi/MidiBasics.h"
#include "midi/MidiPortSystem.h"
#include "midi/Playback.h"
#include "song/Melodies.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t StepTime = 30;
constexpr double DefaultSeconds = 30;

int64_t Nanos(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// How `Plinkora --play` waits: one sleep until the time is up.
void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// One sent message of the log: its time stamp (microseconds of the monotonic clock) and word.
struct TLogged {
    int64_t Us = 0;
    uint32_t Message = 0;
};

std::vector<TLogged> ReadShortMessages(const std::string& path) {
    std::vector<TLogged> sent;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        TLogged logged;
        std::string kind;
        unsigned status = 0, data1 = 0, data2 = 0;
        if (!(fields >> logged.Us >> kind) || kind != "short")
            continue;
        fields >> std::hex >> status >> data1 >> data2;
        logged.Message = status | data1 << 8 | data2 << 16;
        sent.push_back(logged);
    }
    return sent;
}

double Percentile(const std::vector<double>& sorted, double fraction) {
    const size_t index = static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

// The figures of one playing session.
struct TFigures {
    bool RealTime = false;
    size_t Played = 0, Sweep = 0;
    double MedianMs = 0, P99Ms = 0, MaxMs = 0, FirstMs = 0, LastMs = 0;
    double PairMedianUs = 0, PairMaxUs = 0;
    double ThreadCpuMsPerS = 0, ProcessCpuMsPerS = 0, WallS = 0;
};

// The bench pattern: a rising and falling line of one-step notes, so that every step sends the
// note-off of the step before and its own note-on.
void MakeBenchSong(TPkSong& song, TTempoInfo& tempo) {
    InitSong(song, tempo, DefaultNote, MidiMapperId, 0, "Bench");
    for (int32_t s = 1; s <= song.Steps; ++s)
        song.Notes[1][s] = 1 + (s <= 8 ? s : 17 - s) * 3;
    song.StepTime = StepTime;
    SetTempo(tempo, StepTime);
}

// Plays the pattern for `seconds` through a fresh message log and measures it; false (with a
// message) when playback could not run.
bool PlaySession(bool everyTick, double seconds, const std::string& logPath, TFigures& f) {
    std::filesystem::remove(logPath);
    TPkSong song;
    TTempoInfo tempo;
    MakeBenchSong(song, tempo);

    TSystemMidiOptions options;
    options.LogPath = logPath;
    TSystemMidiPort port(options);
    TMidiSupport support;
    TMidiOut out(port, support, nullptr);
    TMelodies melodies;
    TPlaybackState state;
    TPlayback playback(song, melodies, out, support, tempo, state);
    playback.TickEveryPeriod = everyTick;
    BuildAllMelodies(song, melodies, out.Voice);
    song.SongReady = true;
    const std::vector<TMelodyEvent> timeline = melodies.Timeline(0);

    // As `Plinkora --play`: the device choice (open, program, bank), then the transport start
    // in pattern mode.
    out.DeviceId = MidiMapperId;
    if (!out.Open()) {
        std::fprintf(stderr, "the message log %s cannot be opened\n", logPath.c_str());
        return false;
    }
    out.SetPatch(song.Patch);
    out.SelectBank(song.Bank);
    state.PlayMode = TPlayMode::Pattern;
    state.CurrentPattern = 1;
    if (playback.PlayToggle() != TStartResult::Playing) {
        std::fprintf(stderr, "playback did not start\n");
        return false;
    }
    // The playback thread's CPU time comes from its own CPU-time clock (pthread_getcpuclockid,
    // read by the timer from here): the scheduler's nanosecond account of that thread alone,
    // system calls and wake-ups included. /proc/<pid>/task/<tid>/stat counts in 10 ms clock
    // ticks, and getrusage(RUSAGE_THREAD) measures only the thread that calls it.
    const int64_t threadCpu0 = support.TimerCpuTime().count();
    const int64_t processCpu0 = Nanos(CLOCK_PROCESS_CPUTIME_ID);
    const int64_t wall0 = Nanos(CLOCK_MONOTONIC);
    Wait(seconds);
    // The timer thread's CPU clock is read while it still runs (it ends with the stop).
    const int64_t threadCpu = support.TimerCpuTime().count() - threadCpu0;
    const int64_t processCpu = Nanos(CLOCK_PROCESS_CPUTIME_ID) - processCpu0;
    const double wall = static_cast<double>(Nanos(CLOCK_MONOTONIC) - wall0);
    f.RealTime = support.TimerRealTime();
    playback.StopToggle();
    f.ThreadCpuMsPerS = static_cast<double>(threadCpu) / wall * 1e3;
    f.ProcessCpuMsPerS = static_cast<double>(processCpu) / wall * 1e3;
    f.WallS = wall / 1e9;
    // The schedule. The transport start sends the bank select and the program change, then
    // starts the timer thread; that thread reads the clock once (T0) and ticks at T0 + 1 ms,
    // T0 + 2 ms, ... on absolute deadlines. Tick k (from 1) handles tick count k - 1 of the
    // pattern pass, and a pass of S steps lasts S * StepTime + 1 ticks (the tick that sends
    // the last note-off also wraps). So an event at time t (ms) of the timeline in pass p (from
    // 0) is due at T0 + (p * (S * StepTime + 1) + t + 1) ms. T0 itself is not logged; the
    // closest logged instant before it is the program change of the transport start, the last
    // message before the first note, so that stamp stands for T0: every lateness below
    // includes the time between that send and the timer thread's first clock reading (the
    // write of that line and the start of the thread: a fraction of a millisecond on an idle
    // machine, several on a busy one), as a listener would hear it. The error of the first
    // message shows that offset; the jitter is taken against the median error, so it holds
    // only what the ticks and the sends add, and the drift is the last error against the median.
    const std::vector<TLogged> sent = ReadShortMessages(logPath);
    size_t first = 0;
    while (first < sent.size() && (sent[first].Message & 0xF0) != 0x90)
        ++first;
    if (first == 0 || first == sent.size() || (sent[first - 1].Message & 0xF0) != 0xC0) {
        std::fprintf(stderr, "the log %s does not hold a transport start\n", logPath.c_str());
        return false;
    }
    const int64_t startUs = sent[first - 1].Us;
    const int64_t passTicks = static_cast<int64_t>(song.Steps) * StepTime + 1;

    // Walks the timeline pass after pass beside the log; the stop's note-off sweep (velocity 0)
    // ends the played messages.
    std::vector<double> lateMs, pairUs;
    double firstMs = 0, lastMs = 0;
    int64_t previousDueUs = -1;
    size_t i = first;
    bool complete = true;
    for (int64_t pass = 0; complete; ++pass) {
        for (const TMelodyEvent& event : timeline) {
            if (event.Message == 0)
                continue;
            if (i >= sent.size() || sent[i].Message != event.Message) {
                complete = false;
                break;
            }
            const int64_t dueUs = startUs + (pass * passTicks + event.Time + 1) * 1000;
            const double late = static_cast<double>(sent[i].Us - dueUs) / 1000.0;
            if (lateMs.empty())
                firstMs = late;
            lastMs = late;
            lateMs.push_back(late);
            // The note-off and note-on of one tick go out back to back: the gap between their
            // stamps is what one send costs the playback thread.
            if (dueUs == previousDueUs)
                pairUs.push_back(static_cast<double>(sent[i].Us - sent[i - 1].Us));
            previousDueUs = dueUs;
            ++i;
        }
    }
    if (lateMs.empty()) {
        std::fprintf(stderr, "no played message in %s\n", logPath.c_str());
        return false;
    }
    f.Played = lateMs.size();
    f.Sweep = sent.size() - first - f.Played;
    std::sort(lateMs.begin(), lateMs.end());
    std::sort(pairUs.begin(), pairUs.end());
    f.MedianMs = Percentile(lateMs, 0.5);
    f.P99Ms = Percentile(lateMs, 0.99);
    f.MaxMs = lateMs.back();
    f.FirstMs = firstMs;
    f.LastMs = lastMs;
    if (!pairUs.empty()) {
        f.PairMedianUs = Percentile(pairUs, 0.5);
        f.PairMaxUs = pairUs.back();
    }
    return true;
}

// The CPU time (ns) all threads of a process have run: the scheduler's own account.
int64_t ProcessRunNanos(pid_t pid) {
    int64_t total = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream in(task.path() / "schedstat");
        int64_t run = 0;
        if (in >> run)
            total += run;
    }
    return total;
}

std::string FindMachine(int argc, char** argv) {
    if (argc > 2)
        return argv[2];
    const auto here = std::filesystem::canonical("/proc/self/exe").parent_path();
    for (const auto& candidate : {here / "Plinkora", here.parent_path() / "Plinkora"})
        if (std::filesystem::exists(candidate))
            return candidate.string();
    return {};
}

// What one `Plinkora --play SONG --pattern 1 --seconds S` process used: CPU time (user and
// system) and context switches (voluntary and forced) of all its threads.
struct TPlayRun {
    double CpuMs = 0;
    long Switches = 0;
};

bool RunPlay(const std::string& program, const std::filesystem::path& folder, double seconds,
             TPlayRun& run) {
    const std::string song = (folder / "bench.pks").string();
    const std::string log = (folder / "play-midi.log").string();
    const std::string length = std::to_string(seconds);
    std::filesystem::remove(log);
    std::fflush(stdout); // the child must not write this program's buffered lines again
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("PLINKORA_MIDI_LOG", log.c_str(), 1);
        std::freopen("/dev/null", "w", stdout);
        execl(program.c_str(), program.c_str(), "--play", song.c_str(), "--pattern", "1",
              "--seconds", length.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage used{};
    if (pid < 0 || wait4(pid, &status, 0, &used) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return false;
    run.CpuMs = (used.ru_utime.tv_sec + used.ru_stime.tv_sec) * 1e3 +
                (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e3;
    run.Switches = used.ru_nvcsw + used.ru_nivcsw;
    return true;
}

// `Plinkora --play` for 12 s and for 2 s, three times each; the differences of the medians are
// what 10 s of playback cost once started.
void PrintPlayingMachine(const std::string& program, const std::filesystem::path& folder) {
    TPkSong song;
    TTempoInfo tempo;
    MakeBenchSong(song, tempo);
    WriteSong((folder / "bench.pks").string(), song, tempo);
    std::vector<double> longCpu, shortCpu, longSwitches, shortSwitches;
    for (int i = 0; i < 3; ++i) {
        TPlayRun longRun, shortRun;
        if (!RunPlay(program, folder, 12, longRun) || !RunPlay(program, folder, 2, shortRun)) {
            std::printf("playing machine: %s --play did not run\n", program.c_str());
            return;
        }
        longCpu.push_back(longRun.CpuMs);
        shortCpu.push_back(shortRun.CpuMs);
        longSwitches.push_back(static_cast<double>(longRun.Switches));
        shortSwitches.push_back(static_cast<double>(shortRun.Switches));
    }
    for (auto* list : {&longCpu, &shortCpu, &longSwitches, &shortSwitches})
        std::sort(list->begin(), list->end());
    const double cpuMsPerS = (longCpu[1] - shortCpu[1]) / 10.0;
    const double switchesPerS = (longSwitches[1] - shortSwitches[1]) / 10.0;
    std::printf("playing machine (Plinkora --play, 12 s run minus 2 s run, median of 3): "
                "%.3f ms CPU per second (%.3f %% of a core), %.0f context switches per second\n",
                cpuMsPerS, cpuMsPerS / 10.0, switchesPerS);
}

// What this system charges for the least a playing machine must do, without any of its code:
// one thread sleeping to absolute deadlines a step apart and, when `writeLines`, handing each
// moment to a second thread that writes one log line. CPU ms per second of the process.
double PlatformFloorCpu(bool writeLines, double seconds, const std::filesystem::path& folder) {
    std::mutex mutex;
    std::condition_variable moment;
    int pending = 0;
    bool done = false;
    std::thread writer;
    const int file = ::open((folder / "floor.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (writeLines)
        writer = std::thread([&] {
            std::unique_lock lock(mutex);
            while (!done || pending > 0) {
                moment.wait(lock, [&] { return done || pending > 0; });
                for (; pending > 0; --pending)
                    [[maybe_unused]] const auto put =
                        ::write(file, "12345678 short 90 3c 64\n", 24);
            }
        });
    const int64_t cpu0 = Nanos(CLOCK_PROCESS_CPUTIME_ID);
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    for (int step = 0; step < static_cast<int>(seconds * 1000 / StepTime); ++step) {
        deadline.tv_nsec += StepTime * 1000000L;
        deadline.tv_sec += deadline.tv_nsec / 1000000000L;
        deadline.tv_nsec %= 1000000000L;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
        if (writeLines) {
            std::lock_guard lock(mutex);
            ++pending;
            moment.notify_one();
        }
    }
    {
        std::lock_guard lock(mutex);
        done = true;
        moment.notify_one();
    }
    if (writer.joinable())
        writer.join();
    const double cpuMsPerS =
        static_cast<double>(Nanos(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / 1e6 / seconds;
    ::close(file);
    return cpuMsPerS;
}

void PrintPlatformFloor(const std::filesystem::path& folder) {
    const double sleeping = PlatformFloorCpu(false, 10, folder);
    const double writing = PlatformFloorCpu(true, 10, folder);
    std::printf("platform floor (no Plinkora code, a wake-up every %d ms, 10 s): sleeping thread "
                "%.3f ms CPU per second (%.3f %% of a core); with a writer thread writing a log "
                "line per wake-up %.3f ms (%.3f %%)\n",
                StepTime, sleeping, sleeping / 10.0, writing, writing / 10.0);
}

// The machine program with its windows offscreen while nothing plays: CPU ms per second.
double MachineIdleCpu(const std::string& program, const std::filesystem::path& folder,
                      double seconds) {
    const auto runtime = folder / "run";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::string log = (folder / "idle-midi.log").string();
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("PLINKORA_MIDI_LOG", log.c_str(), 1);
        std::freopen("/dev/null", "w", stderr);
        const std::string copy = (folder / "PKIdle").string();
        std::filesystem::copy_file(program, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
        execl(copy.c_str(), copy.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return -1;
    Wait(3); // start-up and its first drawing are not idling
    const int64_t run0 = ProcessRunNanos(pid);
    const int64_t wall0 = Nanos(CLOCK_MONOTONIC);
    Wait(seconds);
    const int64_t run = ProcessRunNanos(pid) - run0;
    const double wall = static_cast<double>(Nanos(CLOCK_MONOTONIC) - wall0);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return static_cast<double>(run) / wall * 1e3;
}

void PrintFigures(const char* name, const TFigures& f) {
    std::printf("%-22s %9.3f %9.3f %9.3f %9.3f %+9.3f %10.3f %10.3f\n", name, f.MedianMs, f.P99Ms,
                f.MaxMs, f.FirstMs, f.LastMs - f.MedianMs, f.ThreadCpuMsPerS, f.ProcessCpuMsPerS);
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : DefaultSeconds;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "usage: PlaybackTimingBench [SECONDS [PLINKORA]]   (default %.0f)\n",
                     DefaultSeconds);
        return 2;
    }
    const auto folder = std::filesystem::temp_directory_path() / "pk-playback-bench";
    std::filesystem::create_directories(folder);
    const std::string logPath = (folder / "midi.log").string();

    // The process while it only waits, as it does during playback.
    const double idleSeconds = std::min(2.0, seconds);
    const int64_t idleCpu0 = Nanos(CLOCK_PROCESS_CPUTIME_ID);
    const int64_t idleWall0 = Nanos(CLOCK_MONOTONIC);
    Wait(idleSeconds);
    const double idleCpuMsPerS = 1e3 *
                                 static_cast<double>(Nanos(CLOCK_PROCESS_CPUTIME_ID) - idleCpu0) /
                                 static_cast<double>(Nanos(CLOCK_MONOTONIC) - idleWall0);

    TFigures everyTick, sleeping;
    if (!PlaySession(true, seconds, logPath, everyTick) ||
        !PlaySession(false, seconds, logPath, sleeping))
        return 1;

    std::printf("PlaybackTimingBench: 16 steps of %d ms for %.1f s through the message log, "
                "each way\n",
                StepTime, sleeping.WallS);
    std::printf("timer thread real-time scheduling: %s\n", sleeping.RealTime ? "yes" : "no");
    std::printf("messages played: %zu and %zu\n", everyTick.Played, sleeping.Played);
    std::printf("%-22s %9s %9s %9s %9s %9s %10s %10s\n", "ms", "median", "99th pct", "maximum",
                "first", "drift", "thread CPU", "proc CPU");
    std::printf("%-22s %9s %9s %9s %9s %9s %10s %10s\n", "", "late", "late", "late", "error", "",
                "ms/s", "ms/s");
    PrintFigures("tick every 1 ms", everyTick);
    PrintFigures("sleep to next event", sleeping);
    std::printf("playback thread CPU: %.1f %% of the 1 ms ticker's\n",
                100.0 * sleeping.ThreadCpuMsPerS / everyTick.ThreadCpuMsPerS);
    std::printf("process idle (this program waiting): %.3f ms per second\n", idleCpuMsPerS);
    PrintPlatformFloor(folder);
    const std::string machine = FindMachine(argc, argv);
    if (machine.empty()) {
        std::printf("machine idle: Plinkora not found beside this program\n");
        return 0;
    }
    PrintPlayingMachine(machine, folder);
    const double machineIdle = MachineIdleCpu(machine, folder, 10);
    std::printf("machine idle (windows offscreen, nothing plays, 10 s): %.3f ms per second "
                "(%.3f %% of a core)\n",
                machineIdle, machineIdle / 10.0);
    return 0;
}
