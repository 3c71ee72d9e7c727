#include "Machine.h"

#include "Language.h"
#include "LocalFileNames.h"
#include "ProgramPlaces.h"
#include "midi/MidiPortSystem.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// The JACK client is named as the machine's service: after the program file ("PK0" .. "PK3").
std::string MachineName() {
    if (!QCoreApplication::instance())
        return "Plinkora";
    return Local(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

// What the settings keep of the synchronisation options.
TSyncOptions KeptSyncOptions(const TSettings& settings) {
    TSyncOptions kept;
    kept.SendClock = settings.SendClock;
    kept.FollowTransport = settings.FollowTransport;
    kept.Link = settings.Link;
    kept.MidiInput = settings.MidiInput;
    kept.FollowClock = settings.FollowClock;
    return kept;
}

} // namespace

TMachine::TMachine(std::unique_ptr<TMidiPort> port)
    : Session(port ? std::move(port) : MakeSystemMidiPort(MachineName())) {}

void TMachine::TakeCommandLine(std::vector<std::string> arguments) {
    RunLanguage = TakeLanguageOption(arguments).Language;
    RunSync = TakeSyncOptions(arguments);
    Arguments = std::move(arguments);
}

TSettingsReadResult TMachine::ReadSettingsFile(int32_t screenHeight, std::string& folderProblem) {
    const TProgramPlaces places(QCoreApplication::applicationFilePath());
    DocumentHome = Local(places.DocumentHome());
    if (SettingsPath.empty()) {
        const QString path = places.SettingsFile(
            FromLocal(SettingsFileName(Local(QCoreApplication::applicationFilePath()))));
        SettingsPath = Local(path);
        if (const QString folder = QFileInfo(path).path(); !MakeFolder(folder).isEmpty())
            folderProblem =
                MessageText(Message(TMessageKind::CannotCreateFolder, {Plain(Local(folder))}));
    }
    Settings = DefaultSettings(DocumentHome, screenHeight);
    const TSettingsReadResult read = ReadSettings(Settings, SettingsPath, DocumentHome);
    SettingsRead = read.SettingsRead;
    UseSessionSettings();
    return read;
}

// The session's part of the settings, with the run's options over them.
void TMachine::UseSessionSettings() {
    Session.TakeSettings(Settings.Range, Settings.TonePreview, Settings.Copyright);
    UseSyncOptions(Session, RunSync, KeptSyncOptions(Settings));
    Session.SetLinkStartStop(Settings.LinkStartStop);
    Session.SetKeyboardChannel(Settings.KeyboardChannel);
    MidiControlProblems = Session.LoadMidiControl(MidiControlFileName(SettingsPath));
}

std::string TMachine::SongArgument() const {
    std::string joined;
    for (size_t i = 1; i < Arguments.size(); ++i)
        joined += (i > 1 ? " " : "") + Arguments[i];
    return joined;
}

TLanguage TMachine::UseLanguageOfRun() const {
    const TLanguage language = RunLanguage.value_or(Settings.Language);
    UseLanguage(language);
    return language;
}
