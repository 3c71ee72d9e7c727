#include "saveProject.h"

#include "TextLines.h"

#include <QFileInfo>

namespace {

constexpr int CountLine = 3;
constexpr int FirstVolumeLine = 4;
constexpr int FirstMuteLine = 8;

} // namespace

void WriteProjectFile(const QString& path, const TProjectFile& project) {
    QStringList lines{"Plinkora Project", "V1", "NumMachines",
                      QString::number(project.MachineCount)};
    for (const int volume : project.Volumes)
        lines << QString::number(volume);
    for (const bool mute : project.Mutes)
        lines << (mute ? "1" : "0");
    while (lines.size() < ProjectFileLines)
        lines << "0";
    WriteTextLines(path, lines);
}

TProjectFile ReadProjectFile(const QString& path) {
    const TTextLines text = TTextLines::Read(path);
    TProjectFile project;
    project.MachineCount = text.NumberWithin(CountLine, 0, 4, "the machine count");
    for (int slot = 0; slot < 4; ++slot)
        project.Volumes[slot] =
            text.NumberWithin(FirstVolumeLine + slot, 0, MaxVolumePosition, "the volume");
    for (int slot = 0; slot < 4; ++slot)
        project.Mutes[slot] = text.Number(FirstMuteLine + slot) == 1;
    return project;
}

QString ProjectSongFile(const QString& projectBase, int slot) {
    return projectBase + QString::number(slot) + ".pks";
}

QStringList MissingProjectSongs(const QString& projectBase, int machineCount) {
    QStringList missing;
    for (int slot = 1; slot <= machineCount; ++slot)
        if (!QFileInfo::exists(ProjectSongFile(projectBase, slot)))
            missing << ProjectSongFile(projectBase, slot);
    return missing;
}
