#pragma once

#include <QString>
#include <QStringList>
#include <array>

// What a project file (.pkp) holds: how many machines the project has, and each slot's
// volume slider position and mute state. The songs live in the machines' own song files
// beside it (P1.pks, P2.pks, ... for P.pkp).
struct TProjectFile {
    int MachineCount = 0;         // 0 to 4
    std::array<int, 4> Volumes{}; // slider positions 0 (top, loudest) to 127, slots 1..4
    std::array<bool, 4> Mutes{};  // slots 1..4
};

inline constexpr int ProjectFileLines = 40;
inline constexpr int MaxVolumePosition = 127;

// Writes the 40-line project file (CR LF) atomically; throws TControlError ("Cannot create
// file <path>") and leaves an older file whole.
void WriteProjectFile(const QString& path, const TProjectFile& project);

// Reads lines 3 to 11 (lines 0 to 2 and 12 on are not examined). Throws TControlError naming
// the file and line for a missing line, a line that is no number, a machine count outside
// 0 to 4 or a volume outside 0 to 127.
TProjectFile ReadProjectFile(const QString& path);

// The song file of machine `slot` of the project `projectBase` (the project path without its
// extension): projectBase + slot + ".pks".
QString ProjectSongFile(const QString& projectBase, int slot);

// The song files of machines 1 to `machineCount` that do not exist, in slot order.
QStringList MissingProjectSongs(const QString& projectBase, int machineCount);
