#pragma once

// What the benchmarks that run the controller share: the four-machine project they play and the
// median of their runs.

#include "BenchProgram.h"

#include <QFile>
#include <algorithm>
#include <vector>

inline void WriteBenchFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
}

// A song of 8 patterns of 16 varied steps and a 32-line track: 64 s of music at 125 ms a step.
inline QByteArray BandSong(int slot) {
    QByteArray song = "Plinkora Song\r\n125 ms\r\n8 Pattern\r\n";
    for (int pattern = 0; pattern < 8; ++pattern) {
        for (int step = 0; step < 16; ++step)
            song += QByteArray::number((step * 7 + pattern * 3 + slot) % 25) + " ";
        song += "\r\n";
    }
    song += "32 Songlines\r\n";
    for (int line = 0; line < 32; ++line)
        song += QByteArray::number(line % 8 + 1) + " ";
    return song + "\r\n";
}

// band.pkp with four machines and their songs band1.pks .. band4.pks in `folder`.
inline void WriteBandProject(const QString& folder) {
    QByteArray project = "Plinkora Project\r\nV1\r\nNumMachines\r\n4\r\n";
    for (int line = 4; line < 40; ++line)
        project += "0\r\n";
    WriteBenchFile(folder + "/band.pkp", project);
    for (int slot = 1; slot <= 4; ++slot)
        WriteBenchFile(folder + QString("/band%1.pks").arg(slot), BandSong(slot));
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
