#include "ServerCommands.h"

#include "LocalFileNames.h"
#include "MachineView.h"
#include "Server.h"
#include "StringConvert.h"
#include "session/MachineSession.h"

#include <QGuiApplication>

namespace {

int32_t Number(const QString& argument) {
    return StrToInt(argument.toStdString());
}

} // namespace

void TServerCommands::TestTopicExecuteMacro(const QStringList& lines) {
    if (lines.isEmpty())
        return;
    const QString& line1 = lines[0];
    const QString word = line1.toUpper();
    const QString argument = lines.size() > 1 ? lines[1] : QString();
    if (!Simple(word, line1))
        WithArgument(word, line1, argument);
}

// The commands that ignore their argument, in the order the machine tests them.
bool TServerCommands::Simple(const QString& word, const QString& line1) {
    if (word == "EXIT") {
        server_.StartShutdown();
    } else if (word == "MINIMIZE") {
        view_.MinimizeWindows();
    } else if (word == "MAXIMIZE") {
        view_.RestoreWindows();
    } else if (word == "DOYOUNEEDSAVE") {
        Reply(session_.Song().SongModified ? "NEEDSAVE" : "NOSAVE");
    } else if (word == "PLAYSONG") {
        session_.PlaySongFromStart();
        Log(line1);
    } else if (word == "PLAYPATTERN") {
        session_.PlayInMode(TPlayMode::Pattern);
        Log(line1);
    } else if (word == "MIDIRESET") {
        session_.ResetOutput();
        Log(line1);
    } else if (word == "COPYPATTERN") {
        session_.CopyPattern();
        Log(line1);
    } else if (word == "PREVIUSPATTERN" || word == "NEXTPATTERN") {
        session_.StepTrack(word == "NEXTPATTERN" ? 1 : -1);
        Log(line1);
    } else if (word == "SHIFTPATTERNUP") {
        session_.ShiftPatternUp();
        Log(line1);
    } else if (word == "SHIFTPATTERNDOWN") {
        session_.ShiftPatternDown();
        Log(line1);
    } else if (word == "UNDO") {
        session_.Undo();
        Log(line1);
    } else if (word == "REDO") {
        session_.Redo();
        Log(line1);
    } else if (word == "SKIN") {
        view_.NextSkin();
        Log(line1);
    } else if (word == "STOP") {
        session_.StopToggle();
        Log(line1);
    } else {
        return false;
    }
    return true;
}

bool TServerCommands::WithArgument(const QString& word, const QString& line1,
                                   const QString& argument) {
    if (word == "CONNECT") {
        Connect(argument);
    } else if (word == "LOAD") {
        Log(line1 + " - " + argument);
        Load(argument);
    } else if (word == "SAVE") {
        Log(line1 + " - " + argument);
        Save(argument);
    } else if (word == "SAVEMIDI") {
        Log(line1 + " - " + argument);
        SaveMidi(argument);
    } else if (word == "SETSPEED") {
        Log(line1);
        SetSpeed(argument);
    } else if (word == "SETVOLUME") {
        Log(line1);
        SetVolume(argument);
    } else if (word == "MUTE") {
        Log(line1);
        session_.ToggleMute();
    } else if (word == "DIRECTORY") {
        Log(line1);
        view_.SetSongFolder(Local(argument));
    } else if (word == "MIDIDIRECTORY") {
        Log(line1);
        view_.SetMidiFolder(Local(argument));
    } else if (word == "LAYOUT") {
        Log(line1);
        view_.Layout(Number(argument), static_cast<int32_t>(session_.MachineNumber()));
    } else {
        return false;
    }
    return true;
}

void TServerCommands::Connect(const QString& argument) {
    server_.ClearLog();
    const int32_t n = Number(argument);
    Reply("Machine " + QString::number(n) + " ready");
    const bool first = !session_.Connected();
    session_.Connect(n);
    QGuiApplication::setApplicationDisplayName(ApplicationTitle());
    view_.ShowConnected(n, first);
}

QString TServerCommands::ApplicationTitle() const {
    // The number as the controller sent it (it is kept unsigned).
    const auto n = static_cast<int32_t>(session_.MachineNumber());
    return session_.Connected() ? "Plinkora " + QString::number(n) : "Plinkora";
}

void TServerCommands::Load(const QString& path) {
    const bool loaded = session_.Load(Local(path)).Loaded;
    Reply(path + (loaded ? " loaded " : " loading failed "));
}

// The path without a three-letter extension, then the machine number.
QString TServerCommands::NumberedBase(const QString& path) const {
    return StripExtension(path) + QString::number(session_.MachineNumber());
}

void TServerCommands::Save(const QString& path) {
    const QString base = NumberedBase(path);
    session_.SaveUnderName(Local(base));
    Reply(base + ".pks" + " saved ");
    Reply(base);
}

void TServerCommands::SaveMidi(const QString& path) {
    session_.ExportMidiForController(Local(NumberedBase(path) + ".mid"));
    Reply("MIDISAVED");
}

// The tempo bar's position; held within the bar's range.
void TServerCommands::SetSpeed(const QString& argument) {
    session_.SetStepTime(TMachineSession::StepTimeAt(Number(argument)));
}

// The volume wheel's position: 0 is the top, full volume.
void TServerCommands::SetVolume(const QString& argument) {
    session_.SetVolume(static_cast<uint8_t>(127 - std::clamp(Number(argument), 0, 127)));
}

void TServerCommands::Log(const QString& line) {
    server_.AppendLog(line);
}

void TServerCommands::Reply(const QString& text) {
    server_.SetStatusText(text);
}
