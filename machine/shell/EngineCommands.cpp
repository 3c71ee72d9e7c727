#include "EngineCommands.h"

#include "files/ExportMidi.h"
#include "files/ImportPk.h"
#include "midi/MidiBasics.h"
#include "midi/MidiPort.h"
#include "midi/MidiPortSystem.h"
#include "midi/ProgramNames.h"
#include "song/Melodies.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <ostream>

int ListDevices(std::ostream& out) {
    const auto port = MakeSystemMidiPort();
    for (const std::string& name : OutputDeviceList(*port))
        out << name << "\n";
    return 0;
}

void ApplyLoadedSong(TPkSong& song, TMelodies& melodies, TMidiVoice& voice) {
    voice.OutChannel = static_cast<uint8_t>(song.Channel - 1);
    voice.GlobalTranspose = song.Transpose[1];
    for (int32_t p = 1; p <= song.PatternCount; ++p)
        song.Transpose[p] = song.Transpose[1];
    BuildAllMelodies(song, melodies, voice);
    song.SongReady = true;
}

int ExportMidiFile(const std::string& songPath, const std::string& midiPath, std::ostream& out,
                   std::ostream& err) {
    TPkSong song;
    TTempoInfo tempo;
    if (!ReadSong(songPath, song, tempo)) {
        err << "Plinkora: " << songPath << " is not a Plinkora song file\n";
        return 1;
    }
    TMelodies melodies;
    TMidiOut midiOut;
    ApplyLoadedSong(song, melodies, midiOut.Voice);

    const std::string instrument(ProgramName(song.Patch));
    TExportOptions options;
    ResetExportOptions(options, song.Name, instrument);
    options.TrackName = song.Name + " - " + instrument;
    options.Instrument = instrument;
    out << ExportSongToMidi(song, melodies, midiOut.Voice, tempo, options, midiPath) << "\n";
    return 0;
}
