#include "ServerCommands.h"

#include "CommandChannel.h"
#include "LocalFileNames.h"
#include "MachineView.h"
#include "RemoteWords.h"
#include "StringConvert.h"
#include "TempoBar.h"
#include "session/MachineSession.h"

#include <algorithm>

namespace Word = RemoteWords;

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
    if (word == Word::Exit) {
        channel_.RequestEnd(true);
    } else if (word == Word::Minimize) {
        view_.MinimizeWindows();
    } else if (word == Word::Maximize) {
        view_.RestoreWindows();
    } else if (word == Word::DoYouNeedSave) {
        Reply(session_.Song().SongModified ? Word::NeedSave : Word::NoSave);
    } else if (word == Word::PlaySong) {
        session_.PlaySongFromStart();
        Log(line1);
    } else if (word == Word::PlayPattern) {
        session_.PlayInMode(TPlayMode::Pattern);
        Log(line1);
    } else if (word == Word::MidiReset) {
        session_.ResetOutput();
        Log(line1);
    } else if (word == Word::CopyPattern) {
        session_.CopyPattern();
        Log(line1);
    } else if (word == Word::PreviousPattern || word == Word::NextPattern) {
        session_.StepTrack(word == Word::NextPattern ? 1 : -1);
        Log(line1);
    } else if (word == Word::ShiftPatternUp) {
        session_.ShiftPatternUp();
        Log(line1);
    } else if (word == Word::ShiftPatternDown) {
        session_.ShiftPatternDown();
        Log(line1);
    } else if (word == Word::Undo) {
        session_.Undo();
        Log(line1);
    } else if (word == Word::Redo) {
        session_.Redo();
        Log(line1);
    } else if (word == Word::Skin) {
        view_.NextSkin();
        Log(line1);
    } else if (word == Word::Stop) {
        session_.StopToggle();
        Log(line1);
    } else if (word == Word::NewSong) {
        session_.NewSong({});
        Log(line1);
    } else {
        return false;
    }
    return true;
}

bool TServerCommands::WithArgument(const QString& word, const QString& line1,
                                   const QString& argument) {
    if (word == Word::Connect) {
        Connect(argument);
    } else if (word == Word::Load) {
        Log(line1 + " - " + argument);
        Load(argument);
    } else if (word == Word::Save) {
        Log(line1 + " - " + argument);
        Save(argument);
    } else if (word == Word::SaveMidi) {
        Log(line1 + " - " + argument);
        SaveMidi(argument);
    } else if (word == Word::SetSpeed) {
        Log(line1);
        SetSpeed(argument);
    } else if (word == Word::SetVolume) {
        Log(line1);
        SetVolume(argument);
    } else if (word == Word::Mute) {
        Log(line1);
        session_.ToggleMute();
    } else if (word == Word::Directory) {
        Log(line1);
        folders_.Songs = Local(argument);
    } else if (word == Word::MidiDirectory) {
        Log(line1);
        folders_.Midi = Local(argument);
    } else if (word == Word::Layout) {
        Log(line1);
        view_.Layout(Number(argument), static_cast<int32_t>(session_.MachineNumber()));
    } else {
        return false;
    }
    return true;
}

void TServerCommands::Connect(const QString& argument) {
    channel_.ClearLog();
    const int32_t n = Number(argument);
    Reply(Word::MachineReady + QString::number(n) + Word::Ready);
    const bool first = !session_.Connected();
    session_.Connect(n);
    view_.ShowConnected(n, first);
}

QString TServerCommands::ApplicationTitle() const {
    // The number as the controller sent it (it is kept unsigned).
    const auto n = static_cast<int32_t>(session_.MachineNumber());
    return session_.Connected() ? "Plinkora " + QString::number(n) : "Plinkora";
}

void TServerCommands::Load(const QString& path) {
    const bool loaded = session_.Load(Local(path)).Loaded;
    Reply(path + (loaded ? Word::Loaded : Word::LoadingFailed));
}

// The path without a three-letter extension, then the machine number.
QString TServerCommands::NumberedBase(const QString& path) const {
    return StripExtension(path) + QString::number(session_.MachineNumber());
}

void TServerCommands::Save(const QString& path) {
    const QString base = NumberedBase(path);
    session_.SaveUnderName(Local(base));
    Reply(base + ".pks" + Word::Saved);
    Reply(base);
}

void TServerCommands::SaveMidi(const QString& path) {
    session_.ExportMidiForController(Local(NumberedBase(path) + ".mid"));
    Reply(Word::MidiSaved);
}

// The tempo bar's position; held within the bar's range.
void TServerCommands::SetSpeed(const QString& argument) {
    session_.SetStepTime(TempoBar::StepTimeAt(Number(argument)));
}

// The volume wheel's position: 0 is the top, full volume.
void TServerCommands::SetVolume(const QString& argument) {
    session_.SetVolume(static_cast<uint8_t>(127 - std::clamp(Number(argument), 0, 127)));
}

void TServerCommands::Log(const QString& line) {
    channel_.AppendLog(line);
}

void TServerCommands::Reply(const QString& text) {
    channel_.SetStatusText(text);
}
