#pragma once

#include "SyncOptions.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

struct TPlayRequest {
    std::string SongPath;
    std::optional<int32_t> Pattern; // loop this pattern; otherwise the track from its first line
    std::optional<double> Seconds;  // play this long; otherwise until interrupted
    int32_t Device = -1;
    bool Jack = false; // "--device jack": the machine's own JACK port, whatever its number
    TSyncOptions Sync; // the synchronisation options (SyncOptions.h)
};

// Parses "SONG.pks [--pattern N] [--seconds S] [--device N|jack]" (the synchronisation options
// are taken before); an empty result after writing the reason to `err`.
std::optional<TPlayRequest> ParsePlayRequest(int argc, const std::string* args, std::ostream& err);

// Plays as the windows' transport does (sending MIDI clock, following the JACK transport as the
// request says), until the time is up or Ctrl+C, then stops the way "STOP" does: all notes off,
// reset, close. The JACK client takes the name `machineName`.
int PlaySongFile(const TPlayRequest& request, std::ostream& out, std::ostream& err,
                 const std::string& machineName = "Plinkora");
