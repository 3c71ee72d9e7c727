#include "ServerCommands.h"

#include "LocalFileNames.h"
#include "StringConvert.h"
#include "files/ExportMidi.h"
#include "files/ExportPk.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QMenuBar>
#include <algorithm>

namespace {

constexpr int32_t MaxLayoutMachine = 1000;

int32_t Number(const QString& argument) {
    return StrToInt(argument.toStdString());
}

} // namespace

bool MachineLayout(int layout, int32_t n, TWindowRects& w, TLayoutState& state, bool& serverShown) {
    if (layout < 1 || layout > 3)
        return false;
    // A machine that was never connected places itself as machine 1. Past the bound a machine
    // would be off every screen; it keeps the positions within the integer range.
    n = std::clamp(n, 1, MaxLayoutMachine);
    // A column is as wide as the widest row it holds, so neighbouring machines never overlap.
    const int32_t dockedColumn = std::max(w.M.Width + w.S.Width, w.P.Width + w.T.Width);
    const int32_t freeColumn = std::max(w.M.Width, w.P.Width);
    if (layout == 3) {
        serverShown = false;
        state.PatternDocked = false;
        state.TrackDocked = false;
        state.PatternPlace = dpAbove;
        w.T.Top = 2 * (w.P.Height + 20);
        w.T.Left = (n - 1) * w.T.Width;
        const bool firstRow = n <= 2;
        w.M.Top = firstRow ? 0 : w.P.Height + 20;
        w.P.Top = firstRow ? 20 : w.P.Height + 40;
        w.P.Left = w.M.Left = (n - (firstRow ? 1 : 3)) * freeColumn;
        return true;
    }
    serverShown = true;
    state.PatternDocked = true;
    state.TrackDocked = true;
    state.TrackSide = dpRight;
    state.PatternPlace = dpBelow;
    if (n <= 2) {
        w.M.Top = 0;
        w.M.Left = dockedColumn * (n - 1);
    } else {
        w.M.Left = dockedColumn * (n - 3);
        w.M.Top = layout == 1 ? w.M.Height + w.P.Height : w.M.Height + 2 * w.P.Height;
        if (layout == 2)
            state.PatternPlace = dpAbove;
    }
    return true;
}

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
    Tserverform& server = w_.Server;
    if (word == "EXIT") {
        server.Timer1->start(); // the shutdown runs after the command has returned
    } else if (word == "MINIMIZE") {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible())
                window->showMinimized();
    } else if (word == "MAXIMIZE") {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isMinimized())
                window->showNormal();
    } else if (word == "DOYOUNEEDSAVE") {
        Reply(w_.Machine.Song.SongModified ? "NEEDSAVE" : "NOSAVE");
    } else if (word == "PLAYSONG") {
        PlaySong();
        Log(line1);
    } else if (word == "PLAYPATTERN") {
        w_.Form3.SpeedButton14Click();
        Log(line1);
    } else if (word == "MIDIRESET") {
        w_.Form1.Button3Click();
        Log(line1);
    } else if (word == "COPYPATTERN") {
        w_.Form3.Button2Click();
        Log(line1);
    } else if (word == "PREVIUSPATTERN" || word == "NEXTPATTERN") {
        StepTrack(word == "NEXTPATTERN" ? 1 : -1);
        Log(line1);
    } else if (word == "SHIFTPATTERNUP") {
        w_.Form3.Button4Click();
        Log(line1);
    } else if (word == "SHIFTPATTERNDOWN") {
        w_.Form3.Button7Click();
        Log(line1);
    } else if (word == "SKIN") {
        w_.Form1.Skin1Click();
        Log(line1);
    } else if (word == "STOP") {
        w_.Form3.SpeedButton15Click();
        Log(line1);
    } else {
        return false;
    }
    return true;
}

bool TServerCommands::WithArgument(const QString& word, const QString& line1,
                                   const QString& argument) {
    TSettings& settings = w_.Machine.Settings;
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
        w_.Form5.Mute->trigger(); // the action toggles the mute and its button together
    } else if (word == "DIRECTORY") {
        Log(line1);
        settings.SongFolder = Local(argument);
    } else if (word == "MIDIDIRECTORY") {
        Log(line1);
        settings.MidiFolder = Local(argument);
    } else if (word == "LAYOUT") {
        Log(line1);
        Layout(argument);
    } else {
        return false;
    }
    return true;
}

void TServerCommands::Connect(const QString& argument) {
    Tserverform& server = w_.Server;
    server.Memo1->clear();
    const int32_t n = Number(argument);
    Reply("Machine " + QString::number(n) + " ready");
    server.MachineNumber = static_cast<uint32_t>(n);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isMinimized())
            window->showNormal();
    // A repeated CONNECT renumbers the machine: the windows are already in controlled mode and
    // must not shrink again, nor the title take a second number.
    if (!server.Connected)
        EnterControlledMode();
    server.Connected = true;
    QGuiApplication::setApplicationDisplayName(ApplicationTitle());
    server.show();
    w_.Form1.show();
    server.Panel2->setText("  " + QString::number(n) + "  ");
    server.Panel2->show();
    // A machine with saved settings keeps its skin; a first run gets skin n + 3 (skin 0 past
    // the last skin, also for numbers near the integer limit).
    TSkins& skins = *w_.Form1.Skins;
    const int firstRunSkin = n < TSkins::SkinCount ? n + 2 : TSkins::SkinCount;
    skins.SetSkinNumber(w_.Machine.SettingsRead ? skins.SkinNumber() - 1 : firstRunSkin);
    w_.Form1.Skin1Click();
}

QString TServerCommands::ApplicationTitle() const {
    const Tserverform& server = w_.Server;
    // The number as the controller sent it (it is kept unsigned).
    const auto n = static_cast<int32_t>(server.MachineNumber);
    return server.Connected ? "Plinkora " + QString::number(n) : "Plinkora";
}

void TServerCommands::EnterControlledMode() {
    // The window loses the menu bar's height too, so no blank strip is left below the controls.
    const int menuHeight = w_.Form1.menuBar()->isVisible() ? w_.Form1.menuBar()->height() : 0;
    w_.Form1.menuBar()->hide();
    w_.Form1.setFixedSize(w_.Form1.width(), w_.Form1.height() - menuHeight);
    w_.Form1.setWindowFlags(w_.Form1.windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    w_.Form1.setWindowFlag(Qt::WindowCloseButtonHint, false);
    w_.Form1.setWindowFlag(Qt::WindowMinimizeButtonHint, false);
    w_.Form1.setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    // The controller plays and stops: the editors lose their transport panels.
    w_.Form3.Panel2->hide();
    w_.Form5.Panel3->hide();
    w_.Form3.setFixedSize(w_.Form3.width(), w_.Form3.height() - 25); // it has a fixed size
    w_.Form5.resize(w_.Form5.width(), w_.Form5.height() - 25);
    w_.Form3.Panel3->move(w_.Form3.Panel3->x(), w_.Form3.Panel3->y() + 2);
    w_.Form5.WheelBar20031->resize(w_.Form5.WheelBar20031->width(), 76);
    w_.Server.Panel1->move(w_.Server.Panel1->x(), 8);
}

void TServerCommands::PlaySong() {
    TMachine& machine = w_.Machine;
    machine.PlaybackState.TrackPosition = 1;
    if (machine.Song.SonglineCount > 0)
        w_.Form3.ShowPattern(machine.Song.Songlines[1]);
    if (w_.Form5.CheckBox1->isChecked())
        w_.Form5.SelectTrackEntry(1);
    w_.Form5.SpeedButton14Click();
}

// The position wheel stays within the track, so at either end nothing moves.
void TServerCommands::StepTrack(int delta) {
    TWheelBar2003& wheel = *w_.Form5.WheelBar20032;
    const int position = std::clamp(wheel.value() + delta, wheel.minimum(), wheel.maximum());
    wheel.setValue(position);
    TMachine& machine = w_.Machine;
    if (position < 1 || position > machine.Song.SonglineCount)
        return;
    w_.Form3.ShowPattern(machine.Song.Songlines[position]);
    machine.Playback->WithTicksPaused([&] { machine.PlaybackState.TrackPosition = position; });
}

void TServerCommands::Load(const QString& path) {
    if (!w_.Form1.DoLoadSong(path)) {
        Reply(path + " loading failed ");
        return;
    }
    Reply(path + " loaded ");
    w_.Form5.Edit1->setText(FromLocal(FileNamePart(w_.Machine.Song.Name)));
}

// The path without a three-letter extension, then the machine number.
QString TServerCommands::NumberedBase(const QString& path) const {
    return FromLocal(StripExtension(Local(path))) + QString::number(w_.Server.MachineNumber);
}

void TServerCommands::Save(const QString& path) {
    const QString base = NumberedBase(path);
    TMachine& machine = w_.Machine;
    machine.Song.Name = Local(base);
    WriteSong(Local(base + ".pks"), machine.Song, machine.TempoInfo);
    Reply(base + ".pks" + " saved ");
    Reply(base);
    w_.Form5.Edit1->setText(FromLocal(FileNamePart(Local(base))));
}

void TServerCommands::SaveMidi(const QString& path) {
    const QString file = NumberedBase(path) + ".mid";
    TMachine& machine = w_.Machine;
    TExportOptions& options = machine.ExportOptions;
    const std::string instrument = w_.Form1.Edit1->text().toStdString();
    options.Instrument = instrument;
    options.TrackName = w_.Form5.Edit1->text().toStdString() + " - " + instrument;
    options.InstrumentEdited = options.TrackNameEdited = true;
    options.Monophone = false;
    emit w_.Form1.ExportOptionsChanged();
    ExportSongToMidi(machine.Song, machine.Melodies, machine.MidiOut->Voice, machine.TempoInfo,
                     options, Local(file));
    Reply("MIDISAVED");
}

// The tempo bar's position; clamped to the bar's range before use.
void TServerCommands::SetSpeed(const QString& argument) {
    QScrollBar& bar = *w_.Form1.ScrollBar2;
    bar.setValue(std::clamp(Number(argument), bar.minimum(), bar.maximum()));
    w_.Form1.ScrollBar2Scroll();
}

void TServerCommands::SetVolume(const QString& argument) {
    TWheelBar2003& wheel = *w_.Form5.WheelBar20031;
    wheel.setValue(std::clamp(Number(argument), wheel.minimum(), wheel.maximum()));
    w_.Form5.SetVolumeExecute();
}

void TServerCommands::Layout(const QString& argument) {
    const int layout = Number(argument);
    const TWindowSet windows = w_.Windows();
    TWindowRects rects = ReadWindowRects(windows);
    bool serverShown = w_.Server.isVisible();
    TLayoutState& state = w_.Machine.Settings.Layout;
    if (!MachineLayout(layout, static_cast<int32_t>(w_.Server.MachineNumber), rects, state,
                       serverShown))
        return;
    w_.Server.setVisible(serverShown);
    ApplyWindowRects(windows, rects);
    ArrangeWindows(windows, state);
    if (layout == 3)
        w_.Form3.raise(); // in front: only the top of the main window shows above it
}

void TServerCommands::Log(const QString& line) {
    w_.Server.AppendLog(line);
}

void TServerCommands::Reply(const QString& text) {
    w_.Server.SetStatusText(text);
}
