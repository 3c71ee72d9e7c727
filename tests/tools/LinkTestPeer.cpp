// Another program in an Ableton Link session, for the Link tests and the benchmark: a bare Link
// peer (start/stop sync on) that runs the commands of its command line in order and prints
// what it sees, one line each, to standard output:
//   peers=N     waits (at most 20 s) until the session has N other peers; prints "peers N"
//   tempo=BPM   sets the session's tempo now; prints "tempo <monotonic ns> <bpm>"
//   start, stop starts or stops the session now; prints "start|stop <monotonic ns>"
//   wait=S      waits S seconds
//   sample=S    for S seconds, every 2 ms: "beat <monotonic ns> <beat> <bar phase> <bpm>
//               <playing>" (the beat at that CLOCK_MONOTONIC moment, quantum 4)
// Link's clock is CLOCK_MONOTONIC_RAW; every moment printed is CLOCK_MONOTONIC, read beside it.
// After the last command it stays half a second, so that its last change reaches the others
// (Link sends it from its own thread; a peer that leaves at once may take it along).
//   pk_link_peer COMMAND...

#include <ableton/Link.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <time.h>

namespace {

constexpr double Quantum = 4;

int64_t Now(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A moment of Link's clock and the same moment of CLOCK_MONOTONIC.
struct TMoment {
    std::chrono::microseconds Link;
    int64_t Monotonic;
};

TMoment Moment() {
    const int64_t before = Now(CLOCK_MONOTONIC);
    const int64_t raw = Now(CLOCK_MONOTONIC_RAW);
    const int64_t after = Now(CLOCK_MONOTONIC);
    const int64_t monotonic = before + (after - before) / 2;
    return {std::chrono::microseconds(raw / 1000), monotonic - raw % 1000};
}

void Sample(ableton::Link& link, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const TMoment at = Moment();
        const auto state = link.captureAppSessionState();
        std::printf("beat %lld %.9f %.9f %.6f %d\n", static_cast<long long>(at.Monotonic),
                    state.beatAtTime(at.Link, 1), state.phaseAtTime(at.Link, Quantum),
                    state.tempo(), state.isPlaying() ? 1 : 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace

int main(int argc, char** argv) {
    ableton::Link link(120);
    link.enableStartStopSync(true);
    link.enable(true);
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        const auto equals = command.find('=');
        const std::string word = command.substr(0, equals);
        const double value = equals == std::string::npos ? 0 : std::atof(&command[equals + 1]);
        if (word == "peers") {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (link.numPeers() < static_cast<std::size_t>(value) &&
                   std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::printf("peers %zu\n", link.numPeers());
        } else if (word == "tempo" || word == "start" || word == "stop") {
            const TMoment at = Moment();
            auto state = link.captureAppSessionState();
            if (word == "tempo")
                state.setTempo(value, at.Link);
            else
                state.setIsPlaying(word == "start", at.Link);
            link.commitAppSessionState(state);
            std::printf("%s %lld", word.c_str(), static_cast<long long>(at.Monotonic));
            if (word == "tempo")
                std::printf(" %.6f", value);
            std::printf("\n");
        } else if (word == "wait") {
            std::this_thread::sleep_for(std::chrono::duration<double>(value));
        } else if (word == "sample") {
            Sample(link, value);
        } else {
            std::fprintf(stderr, "pk_link_peer: unknown command %s\n", command.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return 0;
}
