#pragma once

#include "TempDir.h"
#include "files/ExportPk.h"
#include "session/MachineSession.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <vector>

// Songs for tests that work through the machine session: written as a song file and loaded the
// way a user loads them.

// `patterns` patterns of 16 steps, every step of pattern p holding note value p, and the track.
inline TPkSong PatternsAndTrack(int patterns, const std::vector<int>& track) {
    TPkSong song;
    TTempoInfo tempo;
    InitSong(song, tempo, DefaultNote, -1, 0, "Test");
    ResizePatternPool(song, patterns);
    for (int p = 1; p <= patterns; ++p) {
        FillPatternSteps(song, p, p, DefaultVelocity);
        song.PatternNames[p] = "(" + std::to_string(p) + ") ";
    }
    song.SonglineCount = static_cast<int32_t>(track.size());
    song.Songlines.assign(1, 0);
    song.Songlines.insert(song.Songlines.end(), track.begin(), track.end());
    return song;
}

// Writes `song` as `name`.pks into `dir` and loads it; the song's name becomes `name`.
inline bool LoadSong(TMachineSession& session, TPkSong song, const TempDir& dir,
                     const std::string& name = "Test") {
    TTempoInfo tempo;
    SetTempo(tempo, song.StepTime);
    const std::string path = dir.File(name + ".pks");
    WriteSong(path, song, tempo);
    return session.Load(path).Loaded;
}
