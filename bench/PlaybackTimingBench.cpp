// Playback timing: plays a 16-step pattern at 30 ms per step for 30 seconds (or the seconds
// given as the argument) through the message-log device, with the playback engine and its
// timer thread as `Plinkora --play` uses them. Then it reads the log and prints how late each
// sent message was against the tick schedule (median, 99th percentile, maximum), the error of
// the first and of the last message (drift), and the CPU time of the playback thread and of the
// whole process per second of playback, beside the process's CPU time while it only waits.

#include "midi/MidiBasics.h"
#include "midi/MidiPortSystem.h"
#include "midi/Playback.h"
#include "midi/TempoInfo.h"
#include "song/Melodies.h"
#include "song/SongModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

constexpr int32_t StepTime = 30;
constexpr double DefaultSeconds = 30;

int64_t Nanos(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// How `Plinkora --play` waits for the end of playback: 10 ms sleeps until the time is up.
void Wait(double seconds) {
    const int64_t end = Nanos(CLOCK_MONOTONIC) + static_cast<int64_t>(seconds * 1e9);
    while (Nanos(CLOCK_MONOTONIC) < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : DefaultSeconds;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "usage: PlaybackTimingBench [SECONDS]   (default %.0f)\n",
                     DefaultSeconds);
        return 2;
    }
    const auto folder = std::filesystem::temp_directory_path() / "pk-playback-bench";
    std::filesystem::create_directories(folder);
    const std::string logPath = (folder / "midi.log").string();
    std::filesystem::remove(logPath);

    // A rising and falling line of one-step notes: every step sends the note-off of the step
    // before and its own note-on.
    TPkSong song;
    TTempoInfo tempo;
    InitSong(song, tempo, DefaultNote, MidiMapperId, 0, "Bench");
    for (int32_t s = 1; s <= song.Steps; ++s)
        song.Notes[1][s] = 1 + (s <= 8 ? s : 17 - s) * 3;
    song.StepTime = StepTime;
    SetTempo(tempo, StepTime);

    TSystemMidiOptions options;
    options.LogPath = logPath;
    TSystemMidiPort port(options);
    TMidiSupport support;
    TMidiOut out(port, support, nullptr);
    TMelodies melodies;
    TPlaybackState state;
    TPlayback playback(song, melodies, out, support, tempo, state);
    BuildAllMelodies(song, melodies, out);
    song.SongReady = true;
    const std::vector<TMelodyEvent> timeline = melodies.Timeline(0);

    // The process while it only waits, as it does during playback.
    const double idleSeconds = std::min(2.0, seconds);
    const int64_t idleCpu0 = Nanos(CLOCK_PROCESS_CPUTIME_ID);
    const int64_t idleWall0 = Nanos(CLOCK_MONOTONIC);
    Wait(idleSeconds);
    const double idleCpuMsPerS = 1e3 *
                                 static_cast<double>(Nanos(CLOCK_PROCESS_CPUTIME_ID) - idleCpu0) /
                                 static_cast<double>(Nanos(CLOCK_MONOTONIC) - idleWall0);

    // As `Plinkora --play`: the device choice (open, program, bank), then the transport start
    // in pattern mode.
    out.DeviceId = MidiMapperId;
    if (!out.Open()) {
        std::fprintf(stderr, "the message log %s cannot be opened\n", logPath.c_str());
        return 1;
    }
    out.SetPatch(song.Patch);
    out.SelectBank(song.Bank);
    out.PlayMode = 0;
    out.CurrentPattern = 1;
    if (playback.PlayToggle() != TStartResult::Playing) {
        std::fprintf(stderr, "playback did not start\n");
        return 1;
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
    const bool realTime = support.TimerRealTime();
    playback.StopToggle();

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
        return 1;
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
        return 1;
    }
    const size_t played = lateMs.size();
    std::sort(lateMs.begin(), lateMs.end());
    std::sort(pairUs.begin(), pairUs.end());

    std::printf("PlaybackTimingBench: %d steps of %d ms for %.1f s through the message log\n",
                song.Steps, StepTime, wall / 1e9);
    std::printf("timer thread real-time scheduling: %s\n", realTime ? "yes" : "no");
    std::printf("messages played: %zu, then %zu of the stop's note-off sweep\n", played,
                sent.size() - first - played);
    const double medianMs = Percentile(lateMs, 0.5);
    std::printf("lateness  median %.3f ms  99th percentile %.3f ms  maximum %.3f ms\n", medianMs,
                Percentile(lateMs, 0.99), lateMs.back());
    std::printf("error of the first message %.3f ms, of the last %.3f ms\n", firstMs, lastMs);
    std::printf("drift (last error - median) %+.3f ms\n", lastMs - medianMs);
    std::printf("jitter (error - median)  99th percentile %+.3f ms  maximum %+.3f ms\n",
                Percentile(lateMs, 0.99) - medianMs, lateMs.back() - medianMs);
    if (!pairUs.empty())
        std::printf("second message of a tick after the first  median %.0f us  maximum %.0f us\n",
                    Percentile(pairUs, 0.5), pairUs.back());
    std::printf("playback thread CPU  %.3f ms per second of playback\n", threadCpu / wall * 1e3);
    std::printf("process CPU          %.3f ms per second of playback, %.3f ms per second idle\n",
                processCpu / wall * 1e3, idleCpuMsPerS);
    return 0;
}
