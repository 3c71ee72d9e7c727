// The sleeping scheduler against the 1 ms tick: the same scripted session, played once tick by
// tick and once the way the timer thread runs it (sleeping over ticks that only count, woken by
// the user-interface thread), must send the same messages at the same ticks.

#include "PlaybackParts.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace {

struct Call {
    int tick;
    TMidiCall::Kind what;
    int64_t value;
    int64_t due; // the stamp of a tick's send (nanoseconds), SentNow for the others
    bool operator==(const Call&) const = default;
};

void PrintTo(const Call& call, std::ostream* out) {
    *out << "tick " << call.tick << " kind " << int(call.what) << " " << std::hex << call.value
         << std::dec << " due " << call.due;
}

constexpr int64_t Ms = 1000000;

// One machine's playback on a recording port, ticked by the test.
struct Rig : TPlaybackParts {
    Rig() {
        InitSong(song, tempo, DefaultNote, -1, 0, "Session");
        ResizePatternPool(song, 4);
        for (int s = 1; s <= song.Steps; ++s) {
            song.Notes[1][s] = s % 5 == 0 ? 0 : 3 + s; // rests between notes
            song.Notes[2][s] = 1 + s;
            song.Notes[3][s] = s % 4 == 1 ? 10 : 0; // mostly rests
            song.Notes[4][s] = 12;                  // one long held note
            song.Gates[4][s] = s == 1 ? gtStart : (s == song.Steps ? gtEnd : gtHold);
        }
        song.Gates[1][2] = gtStart; // a held note of three steps inside pattern 1
        song.Gates[1][3] = gtHold;
        song.Gates[1][4] = gtEnd;
        song.Notes[1][3] = song.Notes[1][4] = song.Notes[1][2];
        song.SonglineCount = 5;
        song.Songlines = {0, 1, 2, 3, 1, 4};
        SetStepTime(song, melodies, 30);
        SetTempo(tempo, 30);
        BuildAllMelodies(song, melodies, out.Voice);
        song.SongReady = true;
    }

    void Stamp(int tick) {
        for (; seen < port.Size(); ++seen)
            calls.push_back({tick, port.Call(seen).What, port.Call(seen).Value, port.Due(seen)});
    }

    std::vector<Call> calls;
    size_t seen = 0;
};

// What the user does, and when: before the tick of that number.
using Script = std::multimap<int, std::function<void(Rig&)>>;

std::vector<Call> EveryTick(const Script& script, int ticks) {
    Rig rig;
    for (int t = 0; t < ticks; ++t) {
        for (auto [at, end] = script.equal_range(t); at != end; ++at)
            at->second(rig);
        rig.support.HandDeadline = t * Ms;
        if (rig.playback.Playing())
            rig.playback.OnTick();
        rig.Stamp(t);
    }
    return rig.calls;
}

// As the timer thread: after a tick it sleeps over the idle ticks the playback announced; a wake
// moves its next tick to the next period boundary; a start begins a new grid.
std::vector<Call> Sleeping(const Script& script, int ticks, int& ticksRun) {
    Rig rig;
    int last = -1, next = 0;
    ticksRun = 0;
    for (int t = 0; t < ticks; ++t) {
        const bool wasPlaying = rig.playback.Playing();
        const uint32_t wakes = rig.support.HandWakes;
        for (auto [at, end] = script.equal_range(t); at != end; ++at)
            at->second(rig);
        if (rig.playback.Playing() && !wasPlaying) {
            last = t - 1;
            next = t;
        } else if (rig.support.HandWakes != wakes) {
            next = std::min(next, t);
        }
        if (rig.playback.Playing() && t == next) {
            rig.support.HandDeadline = t * Ms;
            const uint32_t idle = rig.playback.OnTicks(static_cast<uint32_t>(t - last - 1));
            ++ticksRun;
            last = t;
            next = t + static_cast<int>(idle) + 1;
        }
        rig.Stamp(t);
    }
    return rig.calls;
}

TEST(PlaybackScheduler, SendsWhatTheMillisecondTickSendsAtTheSameTicks) {
    Script script;
    script.emplace(0, [](Rig& r) { r.playback.SetSendClock(true); });
    script.emplace(0, [](Rig& r) { r.playback.PlaySong(); });
    script.emplace(1500, [](Rig& r) { r.playback.SetSendClock(false); });
    script.emplace(1777, [](Rig& r) { r.playback.SetSendClock(true); });
    script.emplace(700, [](Rig& r) { r.playback.ToggleMute(); });
    script.emplace(905, [](Rig& r) { r.playback.ToggleMute(); });
    script.emplace(1213, [](Rig& r) { r.playback.ReleaseTempo(45); }); // mid-pass
    script.emplace(2500, [](Rig& r) {
        r.playback.ChoosePatternMode();
        r.playback.SwitchPattern(3);
    });
    script.emplace(2777, [](Rig& r) { // an edit moves the next event of the playing timeline
        r.song.Notes[3][2] = 9;
        BuildMelody(r.song, r.melodies, r.out.Voice, 3);
    });
    script.emplace(3400, [](Rig& r) {
        r.playback.ChooseTrackMode();
        r.playback.WithTicksPaused([&] { r.song.Songlines = {0, 4, 2, 1, 3, 2}; });
    });
    script.emplace(4211, [](Rig& r) { r.playback.Stop(); });
    script.emplace(4300, [](Rig& r) { r.playback.PlayPattern(); });
    script.emplace(4999, [](Rig& r) { r.playback.ReleaseTempo(1000); }); // long steps
    script.emplace(19000, [](Rig& r) { r.playback.ReleaseTempo(30); });
    constexpr int Ticks = 26000;

    const std::vector<Call> reference = EveryTick(script, Ticks);
    int ticksRun = 0;
    const std::vector<Call> sleeping = Sleeping(script, Ticks, ticksRun);
    ASSERT_GT(reference.size(), 400u);
    EXPECT_EQ(sleeping, reference);
    EXPECT_LT(ticksRun, Ticks / 10) << "ticks that only count are slept over";
}

} // namespace
