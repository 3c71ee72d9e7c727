// Rendering the song into a sound file through the session.

#include "SessionSongs.h"

#include <gtest/gtest.h>

TEST(AudioRender, ACancelledRenderLeavesTheOldFileAndNothingBeside) {
    TempDir dir;
    TMachineSession session;
    ASSERT_TRUE(LoadSong(session, PatternsAndTrack(1, std::vector<int>(20, 1)), dir));
    const std::string out = dir.Write("Test.flac", "old sound");
    double told = -1;
    const TRenderResult result = session.RenderAudio(out, [&](double done) {
        told = done;
        return false;
    });
    EXPECT_EQ(result.State, TRenderResult::TState::Cancelled);
    EXPECT_GT(told, 0.0);
    EXPECT_LT(told, 1.0);
    EXPECT_EQ(TempDir::Read(out), "old sound");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2)
        << "the song and the old sound file only";
    EXPECT_FALSE(session.Song().SongModified) << "rendering is no change to the song";
}
