// The remote commands on any macro text: a started machine (windows offscreen, MIDI to a
// recording port) takes the macro's lines as its command server hands them over. Up to four
// macros, separated by NUL, go to the same machine. Paths of the commands that touch files are
// moved into the fuzz folder, and "EXIT" is left out: its shutdown would end the process.
#include "FuzzSupport.h"
#include "RemoteWords.h"
#include "midi/MidiPortRecording.h"
#include "server/RemoteServer.h"
#include "server/ServerCommands.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QTimer>
#include <fstream>
#include <memory>

namespace {

TFuzzFolder* folder = nullptr;
TMachineWindows* windows = nullptr;
TRecordingMidiPort* port = nullptr;

// The argument becomes a name inside the fuzz folder.
QString InFolder(QString argument) {
    argument.replace('/', '_');
    return QString::fromStdString(folder->File("f" + argument.toStdString()));
}

void RunMacro(const QString& macro) {
    QStringList lines = SplitMacroLines(macro);
    const QString word = lines.value(0).toUpper();
    namespace Word = RemoteWords;
    if (word == Word::Exit)
        return;
    // A missing argument is an empty one, which would name a file in the current folder.
    if (word == Word::Load || word == Word::Save || word == Word::SaveMidi ||
        word == Word::Directory || word == Word::MidiDirectory) {
        if (lines.size() < 2)
            lines.append(QString());
        lines[1] = InFolder(lines[1]);
    }
    try { // as the command server does: the failure is reported, the macro acknowledged
        windows->Commands.TestTopicExecuteMacro(lines);
    } catch (const std::exception&) {
    }
}

// Qt warns of a window given a size it cannot have (a command that shrank it once too often).
void WatchGeometry(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg && text.contains("Negative sizes"))
        FuzzFailure(text.toStdString());
}

} // namespace

// Fontconfig keeps what it allocates for the first text drawn out of reach of any pointer.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// The application and the machine live until the process ends: destroying them from the exit
// handlers, after the platform is gone, would crash.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    qInstallMessageHandler(WatchGeometry);
    static TFuzzFolder machineFolder;
    folder = &machineFolder;
    std::ifstream song(std::string(PLINKORA_SONGS) + "/default2.pks", std::ios::binary);
    std::ofstream(folder->File("fsong.pks"), std::ios::binary) << song.rdbuf();
    auto recording = std::make_unique<TRecordingMidiPort>(std::vector<std::string>{"Synth"});
    port = recording.get();
    windows = new TMachineWindows({"Plinkora"}, folder->File("Plinkora.ini"), std::move(recording));
    windows->Machine.Session.Support().TicksByHand = true;
    windows->Form1.Ask = [](const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::No;
    };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    int macros = 0;
    for (const QByteArray& macro : bytes.split('\0')) {
        if (++macros > 4)
            break;
        RunMacro(QString::fromUtf8(macro));
    }
    // What grows with every command is emptied: the log, the port's list.
    windows->Server.Memo1->clear();
    QCoreApplication::processEvents();
    port->Clear();
    return 0;
}
