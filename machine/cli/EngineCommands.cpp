#include "EngineCommands.h"

#include "files/FileError.h"
#include "files/ImportPk.h"
#include "midi/MidiPortSystem.h"
#include "session/MachineSession.h"

#include <ostream>

bool LoadSongFile(TMachineSession& session, const std::string& path, bool chooseDevice,
                  std::ostream& err) {
    const TMachineSession::TLoadResult result = session.Load(path, chooseDevice);
    if (result.Loaded)
        return true;
    if (result.Error.empty()) { // no song file there: the reader says why (missing, a folder)
        TPkSong song;
        TTempoInfo tempo;
        ReadSong(path, song, tempo);
        throw FileError(CannotOpenMessage(path));
    }
    err << "Plinkora: " << result.Error << "\n";
    return false;
}

int ListDevices(std::ostream& out, const std::string& machineName) {
    const TMachineSession session(MakeSystemMidiPort(machineName));
    for (const std::string& name : session.DeviceNames())
        out << name << "\n";
    return 0;
}

int ExportMidiFile(const std::string& songPath, const std::string& midiPath, std::ostream& out,
                   std::ostream& err) {
    TMachineSession session;
    if (!LoadSongFile(session, songPath, true, err))
        return 1;
    out << session.ExportMidiForController(midiPath) << "\n";
    return 0;
}

int RenderSongFile(const std::string& songPath, const std::string& outputPath, std::ostream& out,
                   std::ostream& err) {
    TMachineSession session;
    if (!LoadSongFile(session, songPath, true, err))
        return 1;
    const TRenderResult result = session.RenderAudio(outputPath);
    if (result.State != TRenderResult::TState::Written) {
        err << "Plinkora: " << MessageText(result.Fault) << "\n";
        return 1;
    }
    out << outputPath << " (" << result.Seconds << " s)\n";
    return 0;
}
