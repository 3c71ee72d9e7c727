#include "EngineCommands.h"

#include "files/FileError.h"
#include "midi/MidiPortSystem.h"
#include "session/MachineSession.h"

#include <ostream>

bool LoadSongFile(TMachineSession& session, const std::string& path, bool chooseDevice,
                  std::ostream& err) {
    const TMachineSession::TLoadResult result = session.Load(path, chooseDevice);
    if (!result.Loaded)
        err << "Plinkora: " << (result.Error.empty() ? CannotOpenMessage(path) : result.Error)
            << "\n";
    return result.Loaded;
}

int ListDevices(std::ostream& out) {
    const TMachineSession session(MakeSystemMidiPort());
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
