// Ableton Link timing: two machines on two "computers" (two network namespaces joined by a veth
// pair, 10.77.0.1/24 and 10.77.0.2/24) play a 16-step pattern with --play --link into their
// message logs, while another program in the first namespace (the test peer, a bare Link peer)
// sets the session's tempo to 150 BPM and, SECONDS later, to 120 BPM, and writes the session's
// beat every 2 ms. For every note-on it prints the deviation from the session's step grid (a
// step is a quarter of a beat) at the median and the 95th percentile, per machine; how far each
// step 1 lies from a bar line (four beats); and how long after the change to 120 BPM the first
// note lies on the new grid to within 1 ms (and how many later ones do not). The notes of the first
// second after the machines joined and of the beat after the change are left out of the grid
// figures. The message log stamps each note with CLOCK_MONOTONIC as it is sent (the tick nearest
// its moment); the peer writes CLOCK_MONOTONIC beside Link's CLOCK_MONOTONIC_RAW. Run as root; the
// namespaces are removed afterwards.
//   LinkTimingBench [SECONDS [keep]]     ("keep" keeps the logs and names their folder)

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double Quantum = 4;

struct TSample {
    int64_t Ns;
    double Beat, Bpm;
};

struct TPeerLog {
    std::vector<TSample> Samples;
    std::vector<std::pair<int64_t, double>> Tempi; // moment, BPM
};

struct TNote {
    int64_t Ns;
    int Key;
};

// Runs `command` with /bin/sh; true when it ends with 0.
bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// The namespaces and the veth pair between them, removed when it goes.
class TTwoComputers {
public:
    TTwoComputers() {
        const std::string id = std::to_string(getpid());
        A = "pklinkA" + id;
        B = "pklinkB" + id;
        const std::string va = "pkla" + id, vb = "pklb" + id;
        made_ = Shell("ip netns add " + A) && Shell("ip netns add " + B) &&
                Shell("ip link add " + va + " netns " + A + " type veth peer name " + vb +
                      " netns " + B) &&
                Shell(In(A) + "ip addr add 10.77.0.1/24 dev " + va) &&
                Shell(In(B) + "ip addr add 10.77.0.2/24 dev " + vb) &&
                Shell(In(A) + "ip link set " + va + " up") &&
                Shell(In(B) + "ip link set " + vb + " up") && Shell(In(A) + "ip link set lo up") &&
                Shell(In(B) + "ip link set lo up");
    }
    ~TTwoComputers() {
        Shell("ip netns del " + A + " 2>/dev/null");
        Shell("ip netns del " + B + " 2>/dev/null");
    }
    bool Made() const { return made_; }
    static std::string In(const std::string& space) { return "ip netns exec " + space + " "; }

    std::string A, B;

private:
    bool made_ = false;
};

TPeerLog ReadPeer(const std::string& path) {
    TPeerLog log;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "beat") {
            TSample s{};
            double phase = 0;
            words >> s.Ns >> s.Beat >> phase >> s.Bpm;
            log.Samples.push_back(s);
        } else if (word == "tempo") {
            int64_t ns = 0;
            double bpm = 0;
            words >> ns >> bpm;
            log.Tempi.emplace_back(ns, bpm);
        }
    }
    return log;
}

std::vector<TNote> ReadNoteOns(const std::string& path) {
    std::vector<TNote> notes;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        long long us = 0;
        std::string kind;
        unsigned status = 0, key = 0, velocity = 0;
        if (!(words >> us >> kind) || kind != "short")
            continue;
        words >> std::hex >> status >> key >> velocity;
        if ((status & 0xF0) == 0x90 && velocity != 0)
            notes.push_back({us * 1000, static_cast<int>(key)});
    }
    return notes;
}

// The session's beat at `ns`, from the nearest sample on the same side of every tempo change.
bool BeatAt(const TPeerLog& peer, int64_t ns, double& beat, double& bpm) {
    int64_t changeBefore = INT64_MIN, changeAfter = INT64_MAX;
    for (const auto& [at, tempo] : peer.Tempi) {
        if (at <= ns)
            changeBefore = std::max(changeBefore, at);
        else
            changeAfter = std::min(changeAfter, at);
    }
    const TSample* nearest = nullptr;
    for (const TSample& s : peer.Samples)
        if (s.Ns > changeBefore + 3000000 && s.Ns < changeAfter &&
            (!nearest || std::llabs(s.Ns - ns) < std::llabs(nearest->Ns - ns)))
            nearest = &s;
    if (!nearest || std::llabs(nearest->Ns - ns) > 5000000)
        return false;
    bpm = nearest->Bpm;
    beat = nearest->Beat + static_cast<double>(ns - nearest->Ns) * bpm / 60e9;
    return true;
}

// How far `beat` lies from the nearest multiple of `unit` beats, in ms at `bpm`.
double OffMs(double beat, double unit, double bpm) {
    const double units = beat / unit;
    return (units - std::round(units)) * unit * 60000.0 / bpm;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

std::string SongText() {
    std::string notes;
    for (int step = 1; step <= 16; ++step)
        notes += (step == 1 ? "24" : "12") + std::string(" ");
    return "Plinkora Song\r\n100 ms\r\n1 Pattern\r\n" + notes + "\r\n1 Songlines\r\n1 \r\n";
}

// Step 1 plays a note of its own: the rarest key.
int FirstStepKey(const std::vector<TNote>& notes) {
    std::map<int, int> counts;
    for (const TNote& note : notes)
        ++counts[note.Key];
    return counts.empty() ? -1
                          : std::min_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                                return a.second < b.second;
                            })->first;
}

void Report(const char* name, const std::vector<TNote>& notes, const TPeerLog& peer, int64_t from,
            int64_t change) {
    const int firstStepKey = FirstStepKey(notes);
    std::vector<double> off, barOff;
    int64_t followed = 0;
    size_t offAfter = 0;
    for (const TNote& note : notes) {
        double beat = 0, bpm = 0;
        if (note.Ns < from || !BeatAt(peer, note.Ns, beat, bpm))
            continue;
        const double step = std::abs(OffMs(beat, 0.25, bpm));
        if (note.Ns > change && followed == 0 && step <= 1.0)
            followed = note.Ns;
        else if (followed != 0 && step > 1.0)
            ++offAfter;
        if (note.Ns > change && note.Ns < change + 500000000)
            continue; // the beat after the change
        off.push_back(step);
        if (note.Key == firstStepKey)
            barOff.push_back(std::abs(OffMs(beat, Quantum, bpm)));
    }
    std::printf("%s: %zu note-ons, deviation from the step grid median %.3f ms, p95 %.3f ms, "
                "max %.3f ms\n",
                name, off.size(), Percentile(off, 0.5), Percentile(off, 0.95),
                Percentile(off, 1.0));
    std::printf("%s: %zu step-1 note-ons, distance from a bar line median %.3f ms, max %.3f ms\n",
                name, barOff.size(), Percentile(barOff, 0.5), Percentile(barOff, 1.0));
    if (followed != 0)
        std::printf("%s: the first note-on on the 120 BPM grid (within 1 ms) %.1f ms after the "
                    "change (%.2f beats); later ones more than 1 ms off: %zu\n",
                    name, (followed - change) / 1e6, (followed - change) / 5e8, offAfter);
    else
        std::printf("%s: no note-on on the 120 BPM grid after the change\n", name);
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 8;
    if (geteuid() != 0) {
        std::fprintf(stderr, "LinkTimingBench needs root (network namespaces)\n");
        return 1;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("pk-link-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "song.pks") << SongText();
    TTwoComputers net;
    if (!net.Made()) {
        std::fprintf(stderr, "LinkTimingBench: the namespaces could not be made\n");
        return 1;
    }
    const std::string song = (dir / "song.pks").string();
    const std::string play = " " PLINKORA_PROGRAM " --play " + song + " --link --seconds " +
                             std::to_string(2 * seconds + 6);
    const std::string peer = TTwoComputers::In(net.A) + LINK_PEER_PROGRAM " peers=2 wait=2 " +
                             "tempo=150 sample=" + std::to_string(seconds) +
                             " tempo=120 sample=" + std::to_string(seconds) + " > " +
                             (dir / "peer.txt").string();
    const std::string machineA = TTwoComputers::In(net.A) +
                                 "env PLINKORA_MIDI_LOG=" + (dir / "a.log").string() + play +
                                 " > /dev/null";
    const std::string machineB = TTwoComputers::In(net.B) +
                                 "env PLINKORA_MIDI_LOG=" + (dir / "b.log").string() + play +
                                 " > /dev/null";
    std::printf("two machines in %s and %s, the peer in %s; %.0f s at 150 BPM, %.0f s at 120 BPM\n",
                net.A.c_str(), net.B.c_str(), net.A.c_str(), seconds, seconds);
    std::fflush(stdout);
    const bool ran = Shell("(" + peer + ") & (" + machineA + ") & (" + machineB + ") & wait");
    const TPeerLog peerLog = ReadPeer((dir / "peer.txt").string());
    if (!ran || peerLog.Tempi.size() != 2 || peerLog.Samples.empty()) {
        std::fprintf(stderr, "LinkTimingBench: the run failed (files in %s)\n", dir.c_str());
        return 1;
    }
    const int64_t from = peerLog.Tempi[0].first + 1000000000;
    const int64_t change = peerLog.Tempi[1].first;
    Report("machine A", ReadNoteOns((dir / "a.log").string()), peerLog, from, change);
    Report("machine B", ReadNoteOns((dir / "b.log").string()), peerLog, from, change);
    if (argc > 2 && std::string(argv[2]) == "keep")
        std::printf("the logs are in %s\n", dir.c_str());
    else
        std::filesystem::remove_all(dir);
    return 0;
}
