#include "Startup.h"

#include "DesktopSupport.h"
#include "EndSignals.h"
#include "FormPositions.h"
#include "LocalFileNames.h"
#include "language.h"

#include <QApplication>
#include <QFileInfo>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <cstdio>

TMachineWindows::TMachineWindows(std::vector<std::string> arguments, std::string settingsPath,
                                 std::unique_ptr<TMidiPort> port)
    : Machine(std::move(port)),
      Form1(Prepared(std::move(arguments), std::move(settingsPath)), Channel),
      Form3(Machine.Session), Form2(Machine.Session, &Form1), Form4(Form1.VersionText, &Form1),
      Form5(Machine.Session), Form6(Machine.Session.DebugLog(), &Form1),
      Form8(Machine.Session.Tempo(), Machine.Session.Song().Steps),
      Form9(Machine.Session.Song(), Machine.Session.Tempo(), &Form1),
      MidiControlForm(Machine.Session, &Form1) {
    windows_ = TWindowSet{&Form1, &Form3, &Form5, &Server};
    Connect();
    ConnectEditors();
    InstallKeys();
    UseLanguageOfRun();
    LoadLanguageTexts();
    // The note box's first text, before any step is shown.
    if (const std::string& off = Machine.Session.Texts().OffText; !off.empty())
        Form3.Edit1->setText(QString::fromStdString(off));
    FinishStartUp();
}

TMachineWindows::~TMachineWindows() {
    Machine.Session.Unlisten(statisticsListener_);
}

// The machine's arguments and settings path must be in place before the main window reads them.
// A language named on the command line is for this run only; it is not an argument of the song.
TMachine& TMachineWindows::Prepared(std::vector<std::string> arguments, std::string settingsPath) {
    Machine.TakeCommandLine(std::move(arguments));
    Machine.SettingsPath = std::move(settingsPath);
    return Machine;
}

void TMachineWindows::Connect() {
    TMachineSession& session = Machine.Session;
    connect(&Channel, &TCommandChannel::Ended, this, [this] {
        Form3.MayClose = Form5.MayClose = true;
        emit Ended();
    });
    Channel.Connected = [&session] { return session.Connected(); };
    Channel.AskCloseQuestion = [this, &session] {
        return Form1.CloseAnswered || !session.Song().SongModified || Form1.AskSaveQuestion(false);
    };
    Channel.StopPlayback = [&session] { session.Stop(); };
    Channel.WriteSettings = [this] { Form1.MakeIniFile(); };
    Form1.Skins->Attach(&Server);
    Form1.AskStepCount = [this, &session] {
        Form8.setsignature(session.Song().Steps);
        return Form8.exec();
    };
    Form1.ChooseLanguage = [this](TLanguage language) { ChooseLanguage(language); };
    Form8.SignatureChosen = [&session](int numerator, int denominator) {
        session.SetTimeSignature(numerator, denominator);
    };

    // Export options.
    Form2.Export = [this] { return Form1.ExportMidiFile(); };
    Form2.CopyrightChanged = [this, &session] {
        Machine.Settings.Copyright = session.ExportOptions().Copyright;
    };
    connect(Form1.ExportMidi1, &QAction::triggered, &Form2, &TForm2::Open);
    // Statistics and info.
    connect(Form1.Statistics1, &QAction::triggered, &Form9, &TForm9::Toggle);
    statisticsListener_ = session.Listen([this](TChanges changes) {
        if (changes & (chNewSong | chSteps | chPatterns | chTrack | chTransposition | chChannel))
            Form9.updatestatistics();
    });
    connect(Form1.Info1, &QAction::triggered, &Form4, &TForm4::Toggle);
    Form1.OpenMidiControl = [this] { MidiControlForm.Open(); };
    // The MIDI debugger.
    Form6.PlaceBeside(Form1);
    // Skins.
    for (QWidget* window : {static_cast<QWidget*>(&Form4), static_cast<QWidget*>(&Form6)})
        Form1.Skins->Attach(window);
}

void TMachineWindows::ConnectEditors() {
    TLayoutState& layout = Machine.Settings.Layout;
    Form1.Skins->Attach(&Form3);
    Form1.Skins->Attach(&Form5);
    connect(Form3.Drop, &TDropWatch::DragStarted, this, [&layout] { PatternDragStarted(layout); });
    connect(Form3.Drop, &TDropWatch::Dropped, this,
            [this, &layout](QPoint drop) { PatternDropped(windows_, layout, drop); });
    connect(Form5.Drop, &TDropWatch::DragStarted, this, [&layout] { TrackDragStarted(layout); });
    connect(Form5.Drop, &TDropWatch::Dropped, this,
            [this, &layout](QPoint drop) { TrackDropped(windows_, layout, drop); });
    Form5.ArrangedPlace = [&layout] { return QPoint(layout.TrackLeft, layout.TrackTop); };
    connect(Server.Drop, &TDropWatch::Dropped, this,
            [this, &layout](QPoint drop) { ServerDropped(windows_, layout, drop); });
    Form3.move(layout.PatternLeft, layout.PatternTop);
    Form5.move(layout.TrackLeft, layout.TrackTop);
}

// The same keys in the main window and both editors; they take effect only where no text or
// number box claims the key (a space typed into a name stays a space). Ctrl+D shows or hides the
// MIDI debugger.
void TMachineWindows::InstallKeys() {
    const QKeySequence DebuggerKey(Qt::CTRL | Qt::Key_D);
    const auto playOrStop = [this](TPlayMode mode) {
        TMachineSession& session = Machine.Session;
        if (session.Playing() && session.PlayMode() == mode)
            session.StopToggle();
        else
            session.PlayInMode(mode);
    };
    const std::vector<std::pair<QKeySequence, std::function<void()>>> keys = {
        {QKeySequence(Qt::Key_Space), [playOrStop] { playOrStop(TPlayMode::Pattern); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Space), [playOrStop] { playOrStop(TPlayMode::Track); }},
        {QKeySequence(Qt::Key_F1), [this] { Form1.OpenUserGuide(); }},
        {DebuggerKey, [this] { Form6.ToggleVisible(); }},
    };
    for (QWidget* window : {static_cast<QWidget*>(&Form1), static_cast<QWidget*>(&Form3),
                            static_cast<QWidget*>(&Form5)})
        for (const auto& [sequence, action] : keys)
            AddKey(*window, sequence, action);
    AddKey(Form6, DebuggerKey, [this] { Form6.ToggleVisible(); }); // it hides itself too
    // The main window's menu items carry these keys and show them; the editors trigger the same
    // items.
    const std::vector<std::pair<QKeySequence, QAction*>> menuKeys = {
        {QKeySequence(Qt::CTRL | Qt::Key_S), Form1.Save1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), Form1.SaveAs1},
        {QKeySequence(Qt::CTRL | Qt::Key_O), Form1.Load1},
        {QKeySequence(Qt::CTRL | Qt::Key_N), Form1.SongKeepPatterns1},
        {QKeySequence(Qt::CTRL | Qt::Key_E), Form1.ExportMidi1},
    };
    for (const auto& [sequence, item] : menuKeys) {
        item->setShortcut(sequence);
        Form1.addAction(item); // the key works also while the menu bar is hidden
    }
    for (QWidget* editor : {static_cast<QWidget*>(&Form3), static_cast<QWidget*>(&Form5)}) {
        for (const auto& menuKey : menuKeys) {
            QAction* item = menuKey.second; // clang captures no structured binding
            AddKey(*editor, menuKey.first, [item] { item->trigger(); });
        }
        for (const QKeySequence& undo : Form1.Undo1->shortcuts())
            AddKey(*editor, undo, [this] { Machine.Session.Undo(); });
        for (const QKeySequence& redo : Form1.Redo1->shortcuts())
            AddKey(*editor, redo, [this] { Machine.Session.Redo(); });
    }
}

void TMachineWindows::AddKey(QWidget& window, const QKeySequence& sequence,
                             const std::function<void()>& action) {
    auto* key = new QShortcut(sequence, &window);
    key->setContext(Qt::WindowShortcut);
    connect(key, &QShortcut::activated, this, action);
}

// The command line's language, else the one the settings keep.
void TMachineWindows::UseLanguageOfRun() {
    const TLanguage language = Machine.UseLanguageOfRun();
    InstallQtLanguage(language);
    Form1.ShowLanguage(language);
}

// The user's choice takes effect at once in every window and is kept in the settings.
void TMachineWindows::ChooseLanguage(TLanguage language) {
    const TLanguageTexts before = Machine.Session.Texts();
    Machine.RunLanguage = language;
    Machine.Settings.Language = language;
    UseLanguageOfRun();
    LoadLanguageTexts();
    Form3.ShowTexts(before);
    Form9.updatestatistics();
    SetHints({&Form1, &Form3, &Form5});
    SetAccessibleNames({&Form1, &Form3, &Form5, &Form6, &Form8});
    Form1.MakeIniFile();
}

// The current language's texts, applied to every window created so far, in creation order.
void TMachineWindows::LoadLanguageTexts() {
    const TLanguageTexts texts = LoadLanguage({&Server, &Form1, &Form3, &Form2, &Form4, &Form5,
                                               &Form6, &Form8, &Form9, &MidiControlForm});
    Machine.Session.UseTexts(texts);
    Form3.ShowTableTexts();
    Form1.SaveQuestion = QString::fromStdString(texts.SaveQuestion);
    Form1.UndoText = QString::fromStdString(TextByNumber(85));
    Form1.RedoText = QString::fromStdString(TextByNumber(86));
    Form1.RenderingText = QString::fromStdString(TextByNumber(431));
    Form1.CancelText = QString::fromStdString(TextByNumber(432));
    Form1.ShowHistory();
    Form1.NamePlayToggle();
    Form1.ShowMidiIn(); // also the status beside the tempo bar
    MidiControlForm.ShowAssignments();
    Form1.OverwriteQuestion = QString::fromStdString(texts.OverwriteQuestion);
    ApplyMainWindowCaption(Form1, "Plinkora", Form1.VersionText.toStdString());
    Form1.ShowFolderCaptions();
    ApplyPatternEditorCaption(&Form3, Machine.Session.CurrentPattern());
}

void TMachineWindows::FinishStartUp() {
    const QString song = FromLocal(Machine.SongArgument());
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
    connect(Form1.Drop, &TDropWatch::Dropped, this,
            [this] { MainDropped(windows_, Machine.Settings.Layout); });
    if (Machine.Session.Connected())
        Server.show();
    Form1.Skin1Click(); // the saved skin was kept one below: "next" restores it
    SetHints({&Form1, &Form3, &Form5});
    SetAccessibleNames({&Form1, &Form3, &Form5, &Form6, &Form8});
    ShowMidiControlProblems();
}

// The lines of the MIDI control file that were skipped, in one notice that waits for no answer.
void TMachineWindows::ShowMidiControlProblems() {
    QStringList problems;
    for (const TUserMessage& problem : Machine.MidiControlProblems)
        problems << QString::fromStdString(MessageText(problem));
    if (!problems.isEmpty())
        Form1.ShowNotice(problems.join('\n'), QMessageBox::Warning);
}

void TMachineWindows::MinimizeWindows() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->showMinimized();
}

void TMachineWindows::RestoreWindows() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isMinimized())
            window->showNormal();
}

// A repeated CONNECT renumbers the machine: the windows are already in controlled mode and must
// not shrink again.
void TMachineWindows::ShowConnected(int32_t number, bool first) {
    QGuiApplication::setApplicationDisplayName(Commands.ApplicationTitle());
    RestoreWindows();
    if (first)
        EnterControlledMode();
    Server.show();
    Form1.show();
    Server.Panel2->setText("  " + QString::number(number) + "  ");
    Server.Panel2->show();
    // A machine with saved settings keeps its skin; a first run gets skin n + 3 (skin 0 past
    // the last skin, also for numbers near the integer limit).
    TSkins& skins = *Form1.Skins;
    const int firstRunSkin = number < TSkins::SkinCount ? number + 2 : TSkins::SkinCount;
    skins.SetSkinNumber(Machine.SettingsRead ? skins.SkinNumber() - 1 : firstRunSkin);
    Form1.Skin1Click();
}

void TMachineWindows::EnterControlledMode() {
    // The window loses the menu bar's height too, so no blank strip is left below the controls.
    const int menuHeight = Form1.menuBar()->isVisible() ? Form1.menuBar()->height() : 0;
    Form1.menuBar()->hide();
    Form1.setFixedSize(Form1.width(), Form1.height() - menuHeight);
    Form1.setWindowFlags(Form1.windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    Form1.setWindowFlag(Qt::WindowCloseButtonHint, false);
    Form1.setWindowFlag(Qt::WindowMinimizeButtonHint, false);
    Form1.setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    // The controller plays and stops: the editors lose their transport panels.
    Form3.Panel2->hide();
    Form5.Panel3->hide();
    Form3.setFixedSize(Form3.width(), Form3.height() - 25); // it has a fixed size
    Form5.resize(Form5.width(), Form5.height() - 25);
    Form3.Panel3->move(Form3.Panel3->x(), Form3.Panel3->y() + 2);
    Form5.WheelBar20031->resize(Form5.WheelBar20031->width(), 76);
    Server.Panel1->move(Server.Panel1->x(), 8);
}

void TMachineWindows::NextSkin() {
    Form1.Skin1Click();
}

bool TMachineWindows::Layout(int layout, int32_t number) {
    TWindowRects rects = ReadWindowRects(windows_);
    bool serverShown = Server.isVisible();
    TLayoutState& state = Machine.Settings.Layout;
    if (!MachineLayout(layout, number, rects, state, serverShown))
        return false;
    Server.setVisible(serverShown);
    ApplyWindowRects(windows_, rects);
    ArrangeWindows(windows_, state);
    // On a small desktop the rows of the layout move in so that every window can be reached; the
    // desktop spans all screens side by side.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        KeepWithin(windows_, state, screen->availableVirtualGeometry(), serverShown);
    if (layout == 3)
        Form3.raise(); // in front: only the top of the main window shows above it
    return true;
}

bool TMachineWindows::PublishServer() {
    // A bad argument must not stop the next command, nor a client sending many of them open a
    // window for each.
    CommandServer.Remote.ReportFailure = [this](const QString& reason) {
        std::fprintf(stderr, "Plinkora: %s\n", reason.toLocal8Bit().constData());
        Form1.ShowNotice(reason, QMessageBox::Warning);
    };
    const QString program =
        QFile::decodeName(Machine.Arguments.empty() ? "Plinkora" : Machine.Arguments[0].c_str());
    if (CommandServer.Publish(program))
        return true;
    std::fprintf(stderr, "%s: %s; running without a command server\n",
                 qUtf8Printable(QFileInfo(program).fileName()),
                 qUtf8Printable(CommandServer.Remote.ErrorString()));
    return false;
}

int RunMachine(int argc, char** argv) {
    PreferX11(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Plinkora");
    QApplication::setQuitOnLastWindowClosed(false);
    TMachineWindows windows(std::vector<std::string>(argv, argv + argc));
    windows.PublishServer();
    // A signal ends the machine as "EXIT" does, without the save question.
    EndOnSignals(windows.Server, [&windows] { windows.Channel.RequestEnd(false); });
    QObject::connect(&windows, &TMachineWindows::Ended, &application, &QApplication::quit);
    return application.exec();
}
