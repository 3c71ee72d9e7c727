#include "midi/MidiBasics.h"
#include "midi/MidiPortRecording.h"
#include "midi/Playback.h"
#include "song/Melodies.h"
#include "song/PatternFunctions.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <chrono>
#include <gtest/gtest.h>

// The real timer ticks while this thread edits everything a user can edit during playback.
// Run under ThreadSanitizer in CI: any data race fails it.
TEST(PlaybackStress, EditingWhileTheTimerTicks) {
    TRecordingMidiPort port({"Synth"}, 1 << 22);
    TMidiSupport support;
    TMidiOut out(port, support, nullptr);
    TPkSong song;
    TTempoInfo tempo;
    TMelodies melodies;
    TPlaybackState state;
    InitSong(song, tempo, DefaultNote, 0, 0, "New Song");
    song.StepTime = 30;
    SetTempo(tempo, 30);
    for (int p = 2; p <= 4; ++p)
        ResizePatternPool(song, p);
    BuildAllMelodies(song, melodies, out.Voice);
    TPlayback playback(song, melodies, out, support, tempo, state);
    state.PlayMode = TPlayMode::Track;
    ASSERT_EQ(playback.PlayToggle(), TStartResult::Playing);

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
        const int32_t p = 1 + round % song.PatternCount;
        song.Notes[p][1 + round % 16] = round % 37;
        BuildMelody(song, melodies, out.Voice, p);
        out.Voice.OutChannel = static_cast<uint8_t>(round % 16);
        BuildAllMelodies(song, melodies, out.Voice);
        playback.SetTransposition(round % 5 - 2);
        playback.SetVolume(static_cast<uint8_t>(round % 128));
        playback.ReleaseTempo(round % 2 ? 30 : 40);
        playback.WithTicksPaused([&] {
            if (round % 3 == 0 && song.SonglineCount > 1) {
                song.Songlines.pop_back();
                --song.SonglineCount;
            } else {
                song.Songlines.push_back(1 + round % song.PatternCount);
                ++song.SonglineCount;
            }
        });
        if (round % 50 == 0)
            playback.ToggleMute();
        if (round % 200 == 0)
            AddPattern(song, melodies, out.Voice, 10, 127, 0);
    }
    playback.Stop();
    EXPECT_GT(port.Size(), 0u);
    EXPECT_EQ(port.Dropped(), 0u);
    EXPECT_GE(state.TrackPosition, 1);
    EXPECT_LE(state.TrackPosition, song.SonglineCount);
}
