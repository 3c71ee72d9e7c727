// Following a leader's MIDI clock on a dummy JACK server of its own (48 kHz, 256 frames per
// period): a client of the benchmark sends the clock into the machine's midi_in and another
// records its midi_out.
// 1. A frame-exact clock at 100 BPM for 20 s (or the seconds given): how far behind its pulse
//    each step's note-on lies (the constant delay, in frames) and how many lie exactly that far
//    behind, leaving out those within two periods of an xrun.
// 2. Trials of 24 pulses at 100 BPM, each moved by a random jitter of up to ±1 ms (fixed seed):
//    the tempo the machine shows after the 24th pulse, and whether the steps still lie on their
//    pulses.
//   ClockFollowBench [SECONDS]

#include "ClockLeaderRig.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

namespace {

using clockrig::NoteOns;
using clockrig::PulseFrames;
using clockrig::Rig;

// How far each note-on lies behind the pulse before it (its sixth pulse, unless a cycle the server
// skipped lost a pulse on the way in: the steps then come a pulse later, still on a pulse), the
// pulses being sent[firstPulse...]. Note-ons within two periods of an xrun are left out.
std::vector<int64_t> Lateness(const std::vector<jacktest::Event>& ons,
                              const std::vector<jacktest::Sender::Written>& sent, size_t firstPulse,
                              const std::vector<uint64_t>& xruns) {
    std::vector<uint64_t> pulses;
    for (size_t i = firstPulse; i < sent.size(); ++i)
        pulses.push_back(sent[i].Frame);
    std::sort(pulses.begin(), pulses.end());
    std::vector<int64_t> late;
    for (const jacktest::Event& on : ons) {
        const auto after = std::upper_bound(pulses.begin(), pulses.end(), on.Frame);
        if (after == pulses.begin())
            continue;
        const uint64_t pulse = *(after - 1);
        if (!jacktest::NearXrun(xruns, pulse, on.Frame))
            late.push_back(static_cast<int64_t>(on.Frame - pulse));
    }
    return late;
}

void PrintLateness(const char* what, const std::vector<int64_t>& late) {
    if (late.empty()) {
        std::printf("  %s: no steps\n", what);
        return;
    }
    std::map<int64_t, size_t> counts;
    for (int64_t l : late)
        ++counts[l];
    const auto common = std::max_element(counts.begin(), counts.end(),
                                         [](auto& a, auto& b) { return a.second < b.second; });
    std::printf("  %s: %zu steps, constant delay %lld frames (%.2f periods); exact %zu "
                "(%.2f %%); min %lld, max %lld\n",
                what, late.size(), static_cast<long long>(common->first),
                common->first / double(jacktest::Server::Period), common->second,
                100.0 * common->second / late.size(), static_cast<long long>(counts.begin()->first),
                static_cast<long long>(counts.rbegin()->first));
}

bool Drained(Rig& rig) {
    const bool drained = rig.Sender().Drain(120);
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the last step's way out
    rig.Poll();
    return drained;
}

void FrameExactClock(Rig& rig, double seconds) {
    jacktest::Sender& leader = rig.Sender();
    const int pulses = static_cast<int>(seconds * 40) / 6 * 6; // 40 a second at 100 BPM
    const uint64_t start = leader.Soon(16);
    leader.Send(start, {0xFA});
    const uint64_t end = rig.Pulses(start + PulseFrames / 2, pulses);
    leader.Send(end - PulseFrames / 2, {0xFC});
    if (!Drained(rig))
        std::printf("  (the leader could not send everything)\n");
    std::printf("1. a frame-exact clock at 100 BPM, %d pulses; late pulses of the leader: %llu\n",
                pulses, static_cast<unsigned long long>(leader.Late()));
    PrintLateness("note-on behind its pulse", Lateness(NoteOns(rig.Recorder().Events()),
                                                       leader.Sent(), 1, rig.Recorder().Xruns()));
    std::printf("  xruns the recorder saw: %zu\n\n", rig.Recorder().Xruns().size());
}

void JitteryTrials(Rig& rig, int trials) {
    std::mt19937 random(35);
    std::uniform_int_distribution<int> jitter(-48, 48); // ±1 ms at 48 kHz
    std::vector<double> errors;
    std::vector<int64_t> late;
    for (int trial = 0; trial < trials; ++trial) {
        TMachineSession& session = rig.Session();
        session.SetFollowClock(false); // a fresh follower: no pulses of the trial before
        session.SetFollowClock(true);
        jacktest::Sender& leader = rig.Sender();
        const size_t onsBefore = NoteOns(rig.Recorder().Events()).size();
        const size_t sentBefore = leader.Sent().size();
        const uint64_t start = leader.Soon(16);
        leader.Send(start, {0xFA});
        const uint64_t end =
            rig.Pulses(start + PulseFrames / 2, 24, [&](int) { return jitter(random); });
        leader.Send(end, {0xFC});
        Drained(rig);
        const double stepTime = session.Playback().ClockStepTimeMs();
        errors.push_back(stepTime > 0 ? std::abs(15000.0 / stepTime - 100.0) : 1e9);
        const std::vector<jacktest::Event> ons = NoteOns(rig.Recorder().Events());
        const std::vector<jacktest::Event> trialOns(ons.begin() + onsBefore, ons.end());
        const std::vector<int64_t> trialLate =
            Lateness(trialOns, leader.Sent(), sentBefore + 1, rig.Recorder().Xruns());
        late.insert(late.end(), trialLate.begin(), trialLate.end());
    }
    std::sort(errors.begin(), errors.end());
    std::printf("2. %d trials of 24 pulses at 100 BPM with up to ±1 ms jitter (seed 35)\n", trials);
    std::printf("  tempo shown after the 24th pulse, off by: median %.3f BPM, max %.3f BPM; "
                "within 0.5 BPM in %zu of %d\n",
                errors[errors.size() / 2], errors.back(),
                static_cast<size_t>(
                    std::count_if(errors.begin(), errors.end(), [](double e) { return e <= 0.5; })),
                trials);
    PrintLateness("note-on behind its (jittered) pulse", late);
    std::printf("  xruns the recorder saw: %zu\n", rig.Recorder().Xruns().size());
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    jacktest::Server server;
    if (!server.Running()) {
        std::fprintf(stderr, "ClockFollowBench: the dummy JACK server did not start (jackd2?)\n");
        return 1;
    }
    std::printf("dummy JACK server: %u Hz, %u frames per period\n\n", jacktest::Server::Rate,
                jacktest::Server::Period);
    {
        Rig rig;
        if (!rig.Ready()) {
            std::fprintf(stderr, "ClockFollowBench: the machine could not be set up\n");
            return 1;
        }
        rig.Session().SetFollowClock(true);
        FrameExactClock(rig, seconds);
    }
    {
        Rig rig("PKJ");
        if (!rig.Ready())
            return 1;
        JitteryTrials(rig, 20);
    }
    return 0;
}
