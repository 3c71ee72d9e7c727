#pragma once

#include "FuzzSupport.h"
#include "StringConvert.h"
#include "files/FileError.h"
#include "files/ImportPk.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <string>

// Reads the song file at `path` as the machine does: true when it is read, false when the
// reader refuses it (no song header, or a FileError or ConvertError naming the fault).
inline bool SongAccepted(const std::string& path, TPkSong& song, TTempoInfo& tempo) {
    try {
        return ReadSong(path, song, tempo);
    } catch (const FileError&) {
        return false;
    } catch (const ConvertError&) {
        return false;
    }
}

// The bytes as the song file "song.pks" in this process's fuzz folder; returns its path. The
// path is the same every time, so is the song's name (the file name).
inline std::string SongFileOf(const uint8_t* data, size_t size) {
    static const TFuzzFolder folder;
    return folder.Write("song.pks", AsText(data, size));
}
