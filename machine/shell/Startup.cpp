#include "Startup.h"

#include "DesktopSupport.h"
#include "EndSignals.h"
#include "FormPositions.h"
#include "LocalFileNames.h"
#include "NewOptions.h"
#include "Pk2MidForm.h"
#include "language.h"
#include "midi/Midi_Errors.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QShortcut>
#include <cstdio>

namespace {

// Arguments 1..n joined with single spaces: a path with spaces survives being split.
QString SongArgument(const std::vector<std::string>& arguments) {
    std::string joined;
    for (size_t i = 1; i < arguments.size(); ++i)
        joined += (i > 1 ? " " : "") + arguments[i];
    return FromLocal(joined);
}

} // namespace

TMachineWindows::TMachineWindows(std::vector<std::string> arguments, std::string settingsPath,
                                 std::unique_ptr<TMidiPort> port)
    : Form1(Prepared(std::move(arguments), std::move(settingsPath), std::move(port)), Server),
      Form3(Machine, Form1), Form2(Machine.ExportOptions, &Form1), Form4(Form1.VersionText, &Form1),
      Form5(Machine, Form1, Form3), Form6(Machine.DebugLog, &Form1),
      Form8(Machine.TempoInfo, Machine.Song.Steps), Form9(Machine.Song, Machine.TempoInfo, &Form1) {
    windows_ = TWindowSet{&Form1, &Form3, &Form5, &Server};
    Connect();
    ConnectEditors();
    InstallKeys();
    LoadLanguageTexts();
    FinishStartUp();
}

// The machine's arguments and settings path must be in place before the main window reads them.
TMachine& TMachineWindows::Prepared(std::vector<std::string> arguments, std::string settingsPath,
                                    std::unique_ptr<TMidiPort> port) {
    Machine.Arguments = std::move(arguments);
    Machine.SettingsPath = std::move(settingsPath);
    Machine.Port = std::move(port);
    return Machine;
}

void TMachineWindows::Connect() {
    connect(&Server, &Tserverform::Closed, this, [this] {
        Machine.Ending = true;
        emit Ended();
    });
    Server.AskCloseQuestion = [this] {
        return Form1.CloseAnswered || !Machine.Song.SongModified || Form1.AskSaveQuestion(false);
    };
    Server.StopPlayback = [this] { Form1.Button2Click(); };
    Server.WriteSettings = [this] { Form1.MakeIniFile(); };
    Server.PaintSkin = [this](QPainter& painter) { Form1.Skins->PaintSkin(painter); };
    Form1.Skins->Attach(&Server);
    Form1.AskStepCount = [this] {
        Form8.setsignature(Machine.Song.Steps);
        return Form8.exec();
    };
    connect(&Form1, &TForm1::SongLoaded, &Form8,
            [this] { Form8.setsignature(Machine.Song.Steps); });

    // Export options.
    Form2.Export = [this] { return Form1.ExportMidiFile(); };
    Form2.CopyrightChanged = [this] {
        Machine.Settings.Copyright = Machine.ExportOptions.Copyright;
    };
    connect(&Form1, &TForm1::ExportOptionsChanged, &Form2, &TForm2::ShowOptions);
    connect(Form1.ExportMidi1, &QAction::triggered, &Form2,
            [this] { Form2.Open(FromLocal(Machine.Song.Name), Form1.Edit1->text()); });
    // Statistics and info.
    connect(Form1.Statistics1, &QAction::triggered, &Form9, &TForm9::Toggle);
    connect(&Form1, &TForm1::SongChanged, &Form9, &TForm9::updatestatistics);
    connect(Form1.Info1, &QAction::triggered, &Form4, &TForm4::Toggle);
    // The MIDI debugger.
    Form1.ToggleDebugger = [this] { Form6.ToggleVisible(); };
    Form6.PlaceBeside(Form1);
    // Skins.
    const auto paintSkin = [this](QPainter& painter) { Form1.Skins->PaintSkin(painter); };
    Form4.PaintSkin = paintSkin;
    Form6.PaintSkin = paintSkin;
    for (QWidget* window : {static_cast<QWidget*>(&Form4), static_cast<QWidget*>(&Form6)})
        Form1.Skins->Attach(window);
}

// The German texts, applied to every window created so far, in creation order.
void TMachineWindows::ConnectEditors() {
    TLayoutState& layout = Machine.Settings.Layout;
    Form3.ToggleDebugger = [this] { Form6.ToggleVisible(); };
    Form5.ToggleDebugger = [this] { Form6.ToggleVisible(); };
    Form3.DragStarted = [&layout] { PatternDragStarted(layout); };
    Form3.Dropped = [this, &layout](QPoint drop) { PatternDropped(windows_, layout, drop); };
    Form5.DragStarted = [&layout] { TrackDragStarted(layout); };
    Form5.Dropped = [this, &layout](QPoint drop) { TrackDropped(windows_, layout, drop); };
    Server.Dropped = [this, &layout](QPoint drop) { ServerDropped(windows_, layout, drop); };
    connect(&Form3, &TForm3::PatternAdded, &Form9, &TForm9::updatestatistics);
    connect(&Form5, &TForm5::TrackChanged, &Form9, &TForm9::updatestatistics);
}

// The same keys in the main window and both editors; they take effect only where no text or
// number box claims the key (a space typed into a name stays a space).
void TMachineWindows::InstallKeys() {
    const auto playOrStop = [this](TPlayMode mode) {
        const bool playingThis =
            Machine.Playback->Playing() && Machine.PlaybackState.PlayMode.load() == mode;
        if (mode == TPlayMode::Pattern)
            playingThis ? Form3.SpeedButton15Click() : Form3.SpeedButton14Click();
        else
            playingThis ? Form5.SpeedButton15Click() : Form5.SpeedButton14Click();
    };
    const std::vector<std::pair<QKeySequence, std::function<void()>>> keys = {
        {QKeySequence(Qt::CTRL | Qt::Key_S), [this] { Form1.SaveClick(); }},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { Form1.SaveAsClick(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_O), [this] { Form1.LoadClick(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_N), [this] { Form1.SongKeepPatternsClick(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_E), [this] { Form1.ExportMidi1->trigger(); }},
        {QKeySequence(Qt::Key_Space), [playOrStop] { playOrStop(TPlayMode::Pattern); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Space), [playOrStop] { playOrStop(TPlayMode::Track); }},
        {QKeySequence(Qt::Key_F1), [this] { Form1.OpenUserGuide(); }},
    };
    for (QWidget* window : {static_cast<QWidget*>(&Form1), static_cast<QWidget*>(&Form3),
                            static_cast<QWidget*>(&Form5)})
        for (const auto& [sequence, action] : keys) {
            auto* key = new QShortcut(sequence, window);
            key->setContext(Qt::WindowShortcut);
            connect(key, &QShortcut::activated, this, action);
        }
}

void TMachineWindows::LoadLanguageTexts() {
    Machine.Texts =
        LoadLanguage({&Server, &Form1, &Form3, &Form2, &Form4, &Form5, &Form6, &Form8, &Form9});
    SetDeviceBusyText(Machine.Texts.DeviceBusyText);
    Form1.NewSongName = QString::fromStdString(Machine.Texts.NewSongName);
    if (!Machine.Texts.OffText.empty()) // the note box's first text, before any step is shown
        Form3.Edit1->setText(QString::fromStdString(Machine.Texts.OffText));
    Form1.SaveQuestion = QString::fromStdString(Machine.Texts.SaveQuestion);
    Form1.OverwriteQuestion = QString::fromStdString(Machine.Texts.OverwriteQuestion);
    ApplyMainWindowCaption(Form1, "Plinkora", Form1.VersionText.toStdString());
    Form1.ShowFolderCaptions();
    ApplyNewSongName(Machine.Song, Form5.Edit1, Machine.Texts);
    emit Form1.SongNameChanged(Form1.NewSongName);
    ApplyPatternEditorCaption(&Form3, Machine.PlaybackState.CurrentPattern);
}

void TMachineWindows::FinishStartUp() {
    const QString song = SongArgument(Machine.Arguments);
    if (!song.isEmpty() && QFileInfo(song).isFile()) {
        QString error;
        if (!Form1.DoLoadSong(song, &error) && !error.isEmpty())
            QMessageBox::warning(&Form1, "Plinkora", error);
    }
    Form1.show();
    Form3.show();
    Form5.show();
    Form1.raise();
    Form1.activateWindow();
    TakeRememberedPositions(windows_, Machine.Settings.Layout);
    PlaceServerAtStart(windows_, Machine.Settings.Layout);
    Form1.Dropped = [this] { MainDropped(windows_, Machine.Settings.Layout); };
    if (Server.Connected)
        Server.show();
    Form1.Skin1Click(); // the saved skin was kept one below: "next" restores it
    SetHints({&Form1, &Form3, &Form5});
}

bool TMachineWindows::PublishServer() {
    Remote.HandleMacro = [this](const QStringList& lines) {
        Commands.TestTopicExecuteMacro(lines);
    };
    // A bad argument must not stop the next command: the message does not wait for an answer.
    // One message box shows the latest failure: a client sending many bad commands must not
    // open a window for each.
    Remote.ReportFailure = [this](const QString& reason) {
        std::fprintf(stderr, "Plinkora: %s\n", reason.toLocal8Bit().constData());
        if (!failureBox_) {
            failureBox_ =
                new QMessageBox(QMessageBox::Warning, "Plinkora", reason, QMessageBox::Ok, &Form1);
            failureBox_->setModal(false);
        }
        failureBox_->setText(reason);
        failureBox_->show();
    };
    Remote.Bind(Server);
    return Remote.Publish(
        QFile::decodeName(Machine.Arguments.empty() ? "Plinkora" : Machine.Arguments[0].c_str()));
}

int RunMachine(int argc, char** argv) {
    PreferX11(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Plinkora");
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtGerman(application);
    TMachineWindows windows(std::vector<std::string>(argv, argv + argc));
    windows.PublishServer();
    // A signal ends the machine as "EXIT" does, without the save question.
    EndOnSignals(windows.Server, [&windows] {
        windows.Server.EndWithoutQuestion = true;
        windows.Server.Timer1->start();
    });
    QObject::connect(&windows, &TMachineWindows::Ended, &application, &QApplication::quit);
    return application.exec();
}
