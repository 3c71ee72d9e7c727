// MIDI file export of a large song: 255 patterns of 16 varied steps, 100,000 song lines.
// Prints the time of the whole export and of its two stages (building the bytes, writing them
// aside, flushing and renaming) and, for comparison, the time of writing the same bytes to a
// file with one write call; last the ratio of the whole export to that plain write.

#include "files/ExportMidi.h"
#include "files/SafeFile.h"
#include "song/Melodies.h"
#include "song/MidiVoice.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t Patterns = 255;
constexpr int32_t Lines = 100000;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void MakeSong(TPkSong& song, TTempoInfo& tempo) {
    InitSong(song, tempo, DefaultNote, 0, 0, "Bench");
    ResizePatternPool(song, Patterns);
    for (int32_t p = 1; p <= Patterns; ++p)
        for (int32_t s = 1; s <= song.Steps; ++s) {
            song.Notes[p][s] = 1 + (p * 7 + s * 5) % song.Range;
            song.Velocities[p][s] = static_cast<uint8_t>(40 + (p + s * 3) % 88);
        }
    song.SonglineCount = Lines;
    song.Songlines.assign(1, 0);
    for (int32_t i = 1; i <= Lines; ++i)
        song.Songlines.push_back(1 + (i * 31) % Patterns);
}

// The first run pays for fresh memory pages; later runs reuse them.
void Print(const char* what, std::vector<double> ms) {
    const double first = ms.front();
    std::sort(ms.begin(), ms.end());
    std::printf("%-50s %7.1f %7.1f %7.1f ms\n", what, first, ms[ms.size() / 2], ms.front());
}

// One open, one write call of `data`, fsync, close: the floor for writing the file.
double PlainWriteMs(const std::string& path, const std::string& data) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()) ||
        ::fsync(fd) != 0) {
        std::perror("plain write");
    }
    if (fd >= 0)
        ::close(fd);
    return MsSince(start);
}

} // namespace

int main() {
    TPkSong song;
    TTempoInfo tempo;
    TMelodies melodies;
    TMidiVoice voice;
    TExportOptions options;
    MakeSong(song, tempo);
    BuildAllMelodies(song, melodies, voice);

    const auto folder = std::filesystem::temp_directory_path() / "pk-export-bench";
    std::filesystem::create_directories(folder);
    const std::string chosen = (folder / "bench.pks").string();

    constexpr int Runs = 5;
    std::vector<double> exportMs, buildMs, writeMs, plainMs;
    std::string path;
    std::string bytes = SongMidiFile(song, melodies, voice, tempo, options);
    for (int run = 0; run < Runs; ++run) {
        auto start = Clock::now();
        bytes = SongMidiFile(song, melodies, voice, tempo, options);
        buildMs.push_back(MsSince(start));
        start = Clock::now();
        WriteFileAtomically((folder / "aside.mid").string(), bytes);
        writeMs.push_back(MsSince(start));
        plainMs.push_back(PlainWriteMs((folder / "plain.mid").string(), bytes));
        start = Clock::now();
        path = ExportSongToMidi(song, melodies, voice, tempo, options, chosen);
        exportMs.push_back(MsSince(start));
    }
    const auto size = std::filesystem::file_size(path);

    std::printf("song: %d patterns x 16 steps, %d song lines\n", Patterns, Lines);
    std::printf("file size: %ju bytes (%.1f MB)\n", static_cast<uintmax_t>(size), size / 1e6);
    std::printf("%d runs: first, median, best\n", Runs);
    Print("whole export (streamed aside, renamed)", exportMs);
    Print("  build bytes in memory", buildMs);
    Print("  write aside, flush, rename, flush folder", writeMs);
    Print("same bytes with one write call (+ fsync)", plainMs);
    std::sort(exportMs.begin(), exportMs.end());
    std::sort(plainMs.begin(), plainMs.end());
    std::printf("whole export / plain write, medians: %.2fx\n",
                exportMs[Runs / 2] / plainMs[Runs / 2]);
    std::filesystem::remove_all(folder);
    return bytes.size() == size ? 0 : 1;
}
