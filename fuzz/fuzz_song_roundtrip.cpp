// Any song the reader accepts, written and read again, is the same song, and writing it again
// gives the same text.
#include "SongReading.h"
#include "files/ExportPk.h"

namespace {

bool SameTempo(const TTempoInfo& a, const TTempoInfo& b) {
    return a.Bpm == b.Bpm && a.MsPerQuarter == b.MsPerQuarter && a.UsPerQuarter == b.UsPerQuarter &&
           a.MsPerStep == b.MsPerStep && a.SigNumerator == b.SigNumerator &&
           a.SigDenominator == b.SigDenominator && a.ClocksPerClick == b.ClocksPerClick &&
           a.ThirtySecondsPerQuarter == b.ThirtySecondsPerQuarter;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Both reads use the same path, so the song's name (the file name) is the same. Nothing
    // else may differ: the rewritten file is read into the same blank song and tempo, the
    // fields the file does not store (velocities, step capacity, the ready flag) are set the
    // same way both times, and the note extremes and tempo values are derived from what the
    // file stores.
    const std::string path = SongFileOf(data, size);
    TPkSong song;
    TTempoInfo tempo;
    if (!SongAccepted(path, song, tempo))
        return 0;
    const std::string written = FormatSong(song, tempo);
    WriteSong(path, song, tempo);
    TPkSong again;
    TTempoInfo againTempo;
    try {
        if (!ReadSong(path, again, againTempo))
            FuzzFailure("the written song has no header");
    } catch (const std::exception& error) {
        FuzzFailure(std::string("the written song is refused: ") + error.what());
    }
    if (!(again == song))
        FuzzFailure("the song read back differs");
    if (!SameTempo(againTempo, tempo))
        FuzzFailure("the tempo read back differs");
    if (FormatSong(again, againTempo) != written)
        FuzzFailure("writing the song read back gives another text");
    return 0;
}
