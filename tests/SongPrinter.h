#pragma once

#include "song/SongModel.h"

#include <ostream>

// Readable test failures for whole songs.
inline void PrintTo(const TPkSong& song, std::ostream* out) {
    auto list = [out](const char* name, const auto& values) {
        *out << "\n  " << name << ":";
        for (const auto& value : values)
            *out << " " << +value;
    };
    *out << "song '" << song.Name << "' steptime " << song.StepTime << " steps " << +song.Steps
         << "/" << +song.StepCapacity << " patterns " << song.PatternCount << " lines "
         << song.SonglineCount << " channel " << song.Channel << " device " << song.Device
         << " patch " << song.Patch << " bank " << song.Bank << " range " << song.Range << " notes "
         << song.MinNote << ".." << song.MaxNote << " ready " << song.SongReady << " modified "
         << song.SongModified;
    list("songlines", song.Songlines);
    list("transpose", song.Transpose);
    for (size_t p = 0; p < song.Notes.size(); ++p) {
        *out << "\n  pattern " << p << " '" << song.PatternNames[p] << "'";
        list("notes", song.Notes[p]);
        list("gates", song.Gates[p]);
        list("lengths", song.Lengths[p]);
        list("velocities", song.Velocities[p]);
    }
}
