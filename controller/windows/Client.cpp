#include "Client.h"

#include "DesktopSupport.h"
#include "PlaceControl.h"
#include "ProgramVersion.h"
#include "RemoteInfo.h"
#include "TempoBar.h"
#include "Trackframe2.h"
#include "WheelBar2003.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {

// Start: a green triangle; stop: a red square.
QIcon Glyph(bool start) {
    QPixmap pixmap(10, 10);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (start) {
        painter.setBrush(QColor(30, 150, 50));
        painter.drawPolygon(QPolygon({{1, 0}, {9, 5}, {1, 10}}));
    } else {
        painter.setBrush(QColor(190, 30, 30));
        painter.drawRect(1, 1, 8, 8);
    }
    return QIcon(pixmap);
}

QToolButton* Button(QWidget* parent, const QString& caption, const QString& hint = {}) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setToolTip(hint);
    return button;
}

QString TitleWithVersion(const QString& title) {
    return title + " v" + QString::fromStdString(ProgramVersionText());
}

QLabel* Text(QWidget* parent, const QString& caption) {
    return new QLabel(caption, parent);
}

} // namespace

Tclientform::Tclientform(TClientCore& core, QString programDirectory, QWidget* parent)
    : QMainWindow(parent), core_(core), programDirectory_(std::move(programDirectory)) {
    setObjectName("clientform");
    setWindowTitle(TitleWithVersion("Plinkora Control"));
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    Panel = new QWidget(this);
    Panel->setObjectName("Panel");
    QFont small = Panel->font();
    small.setPointSizeF(8);
    Panel->setFont(small);
    setCentralWidget(Panel);
    CreateControls();
    CreateSlotControls();
    CreateMenus();
    Connect();
    AboutBox = new TAboutBox(this);
    setFixedSize(WindowWidth, WindowHeight);
    ShowState();
}

Tclientform::~Tclientform() {
    core_.Prompts = nullptr;
}

void Tclientform::CreateControls() {
    SpeedButton13 =
        Place(Button(Panel, "SONG", "Play Track - All Machines"), "SpeedButton13", 246, 4, 66, 24);
    SpeedButton14 = Place(Button(Panel, "PATTERN", "Play Pattern - All Machines"), "SpeedButton14",
                          316, 4, 66, 24);
    for (QToolButton* play : {SpeedButton13, SpeedButton14})
        play->setCheckable(true);
    SpeedButton15 =
        Place(Button(Panel, "", "Stop Playback - All Machines"), "SpeedButton15", 246, 32, 30, 24);
    SpeedButton15->setIcon(Glyph(false));
    Button4 =
        Place(Button(Panel, "MIDI  RESET", "Reset all Midi devices"), "Button4", 282, 32, 100, 24);
    Place(Text(Panel, "BPM:"), "Label5", 246, 60, 30, 16);
    Label6 = Place(Text(Panel, "--"), "Label6", 278, 60, 50, 16);
    Place(Text(Panel, "ms:"), "Label10", 330, 60, 22, 16);
    Label11 = Place(Text(Panel, "--"), "Label11", 352, 60, 32, 16);
    ScrollBar2 = Place(new TWheelBar2003(Qt::Horizontal, Panel), "ScrollBar2", 246, 80, 136, 17);
    ScrollBar2->setRange(TempoBar::MinStepTime, TempoBar::MaxStepTime);
    ScrollBar2->setPageStep(50);
    ScrollBar2->SetWheelStep(10);
    ScrollBar2->setToolTip("Playback Speed");
    PrevSpeedButton = Place(Button(Panel, "<"), "PrevSpeedButton", 246, 104, 30, 24);
    NextSpeedButton = Place(Button(Panel, ">"), "NextSpeedButton", 280, 104, 30, 24);
    SpeedButton9 = Place(Button(Panel, "▲", "Shift Up all sliders of the marked machines"),
                         "SpeedButton9", 318, 104, 30, 24);
    SpeedButton10 = Place(Button(Panel, "▼", "Shift Down all sliders of the marked machines"),
                          "SpeedButton10", 352, 104, 30, 24);
    SpeedButton11 = Place(Button(Panel, "Copy", "Copys the current pattern of the marked machines"),
                          "SpeedButton11", 246, 136, 70, 24);
    Memo1 = Place(new QPlainTextEdit(Panel), "Memo1", 246, 166, 136, 94);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Long lines (paths, command words) wrap, at a space where there is one.
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Timer2 = new QTimer(this);
    Timer2->setInterval(1000);
    Timer2->setSingleShot(true);
}

// Per slot: the start and stop buttons in one place, the track control frame, the selection box.
void Tclientform::CreateSlotControls() {
    for (int slot = 1; slot <= 4; ++slot) {
        const QString n = QString::number(slot);
        const int left = 4 + (slot - 1) * 58;
        for (const bool start : {true, false}) {
            const int number = start ? slot : slot + 4;
            auto* button =
                Place(Button(Panel, "PK " + n, (start ? "Start Machine " : "Stop Machine ") + n),
                      qPrintable("SpeedButton" + QString::number(number)), left, 4, 56, 24);
            button->setIcon(Glyph(start));
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            SpeedButton[number] = button;
        }
        TrackControl[slot] = Place(new TTrackControl(Panel), qPrintable("TrackControl" + n),
                                   4 + ((slot - 1) % 2) * 119, 32 + ((slot - 1) / 2) * 114,
                                   TTrackControl::FrameWidth, TTrackControl::FrameHeight);
        Place(Text(Panel, n), qPrintable("SlotLabel" + n), 326 + (slot - 1) * 15, 132, 12, 12)
            ->setAlignment(Qt::AlignCenter);
        CheckBox[slot] = Place(new QCheckBox(Panel), qPrintable("CheckBox" + n),
                               325 + (slot - 1) * 15, 146, 15, 15);
    }
}

QAction* Tclientform::AddAction(QMenu* menu, const char* name, const QString& caption,
                                std::function<void()> handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, std::move(handler));
    menu->addAction(action);
    return action;
}

void Tclientform::CreateMenus() {
    QMenu* file = menuBar()->addMenu("File");
    file->setObjectName("File1");
    QMenu* newProject = file->addMenu("New Project");
    newProject->setObjectName("NewProject1");
    const char* newNames[] = {"New1Machine", "New2Machine", "New3Machine", "New4Machine"};
    QAction* newAction = nullptr;
    for (int count = 1; count <= 4; ++count)
        newAction = AddAction(newProject, newNames[count - 1],
                              QString::number(count) + (count == 1 ? " Machine" : " Machines"),
                              [this, count] { core_.NewMachines(count); });
    newAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N)); // the full project
    AddAction(file, "LoadProject", "Load Project", [this] {
        LoadProjectExecute();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    AddAction(file, "SaveProject1", "Save Project", [this] {
        SaveProjectExecute();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    AddAction(file, "SaveProjectAs1", "Save Project As", [this] {
        ChooseProjectFileAndSave();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    ExportMidiItem = AddAction(file, "ExportMidi", "Export Midi", [this] { ExportMidiExecute(); });
    ExportMidiItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    ExportAudioItem =
        AddAction(file, "ExportAudio", "Export Audio...", [this] { ExportAudioExecute(); });
    file->addSeparator();
    AddAction(file, "Exit1", "Exit", [this] { close(); });

    // The keys of the machine's windows: Space for the pattern, Ctrl+Space for the song.
    QMenu* playback = menuBar()->addMenu("Playback");
    playback->setObjectName("Playback1");
    AddAction(playback, "PlayPatternAll", "Play/Stop Pattern", [this] {
        PlayOrStop(TClientCore::TPlayRequest::Pattern);
    })->setShortcut(QKeySequence(Qt::Key_Space));
    AddAction(playback, "PlaySongAll", "Play/Stop Song", [this] {
        PlayOrStop(TClientCore::TPlayRequest::Song);
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Space));
    AddAction(playback, "StopAll", "Stop All", [this] { core_.StopAll(); });

    QMenu* options = menuBar()->addMenu("Options");
    options->setObjectName("Options1");
    QMenu* folders = options->addMenu("Directorys");
    folders->setObjectName("Directorys1");
    ProjectDirectory1 = AddAction(folders, "ProjectDirectory1", "Project (*.pkp) Directory",
                                  [this] { ChooseProjectDirectory(); });
    MidiDirectory1 = AddAction(folders, "MidiDirectory1", "Midi (*.mid) Directory",
                               [this] { ChooseMidiDirectory(); });
    CreateSyncMenu(options);
    CreateLanguageMenu(options);

    QMenu* skin = menuBar()->addMenu("Skin");
    skin->setObjectName("Skin1");
    AddAction(skin, "Skinchange", "Skin", [this] { core_.Skin(); });
    QMenu* layout = menuBar()->addMenu("Layout");
    layout->setObjectName("LayoutMenu");
    const char* layoutNames[] = {"Layout1", "Layout2", "Layout3"};
    for (int number = 1; number <= 3; ++number)
        AddAction(layout, layoutNames[number - 1], "Layout " + QString::number(number),
                  [this, number] { core_.Layout(number); });

    QMenu* help = menuBar()->addMenu("Help");
    help->setObjectName("Help1");
    AddAction(help, "Info1", "Info...", [this] { AboutBox->show(); });
    AddAction(help, "HelpPlinkora1", " Help - Plinkora", [this] { OpenHelp("Plinkora"); });
    AddAction(help, "HelpControl1", " Help - Plinkora Control", [this] {
        OpenHelp("Plinkora Control");
    })->setShortcut(QKeySequence(Qt::Key_F1));
}

// What the machines started from now on get: the core keeps it, ShowState ticks the items.
void Tclientform::CreateSyncMenu(QMenu* options) {
    QMenu* sync = options->addMenu("Synchronisation");
    sync->setObjectName("SyncMenu");
    SyncTransport = AddAction(sync, "SyncTransport", "JACK transport",
                              [this] { core_.ChooseFollowTransport(SyncTransport->isChecked()); });
    SyncClock = AddAction(sync, "SyncClock", "Send MIDI clock",
                          [this] { core_.ChooseSendClock(SyncClock->isChecked()); });
    SyncLink = AddAction(sync, "SyncLink", "Ableton Link",
                         [this] { core_.ChooseLink(SyncLink->isChecked()); });
    SyncFollowClock = AddAction(sync, "SyncFollowClock", "Follow MIDI clock",
                                [this] { core_.ChooseFollowClock(SyncFollowClock->isChecked()); });
    for (QAction* item : {SyncTransport, SyncClock, SyncLink, SyncFollowClock})
        item->setCheckable(true);
}

// Each language by its own name, whichever language the window speaks.
void Tclientform::CreateLanguageMenu(QMenu* options) {
    QMenu* languages = options->addMenu("Language");
    languages->setObjectName("LanguageMenu");
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    const auto add = [&](const char* name, const QString& caption, TLanguage language) {
        QAction* action =
            AddAction(languages, name, caption, [this, language] { ChooseLanguage(language); });
        action->setCheckable(true);
        group->addAction(action);
        return action;
    };
    LanguageGerman = add("LanguageGerman", "Deutsch", TLanguage::German);
    LanguageEnglish = add("LanguageEnglish", "English", TLanguage::English);
}

void Tclientform::Connect() {
    for (int slot = 1; slot <= 4; ++slot) {
        connect(SpeedButton[slot], &QToolButton::clicked, this,
                [this, slot] { core_.StartMachine(slot); });
        connect(SpeedButton[slot + 4], &QToolButton::clicked, this,
                [this, slot] { core_.StopMachine(slot); });
        TTrackControl* frame = TrackControl[slot];
        connect(frame, &TTrackControl::MuteClicked, this, [this, slot] { core_.ToggleMute(slot); });
        connect(frame, &TTrackControl::PlayPatternClicked, this,
                [this, slot] { core_.PlayPatternOn(slot); });
        connect(frame, &TTrackControl::StopClicked, this, [this, slot] { core_.StopOn(slot); });
        connect(frame, &TTrackControl::VolumeMoved, this,
                [this, slot](int position) { core_.SetVolume(slot, position); });
        connect(CheckBox[slot], &QCheckBox::clicked, this,
                [this, slot](bool ticked) { core_.Select(slot, ticked); });
    }
    connect(SpeedButton13, &QToolButton::clicked, this, [this] { core_.PlaySong(); });
    connect(SpeedButton14, &QToolButton::clicked, this, [this] { core_.PlayPattern(); });
    connect(SpeedButton15, &QToolButton::clicked, this, [this] { core_.StopAll(); });
    connect(Button4, &QToolButton::clicked, this, [this] { core_.MidiReset(); });
    connect(PrevSpeedButton, &QToolButton::clicked, this, [this] { core_.PreviousPattern(); });
    connect(NextSpeedButton, &QToolButton::clicked, this, [this] { core_.NextPattern(); });
    connect(SpeedButton9, &QToolButton::clicked, this, [this] { core_.ShiftPatternUp(); });
    connect(SpeedButton10, &QToolButton::clicked, this, [this] { core_.ShiftPatternDown(); });
    connect(SpeedButton11, &QToolButton::clicked, this, [this] { core_.CopyPattern(); });
    connect(ScrollBar2, &TWheelBar2003::Change, this, &Tclientform::ScrollBar2Change);
    connect(ScrollBar2, &TWheelBar2003::Scroll, this,
            [this](TWheelBar2003::TScrollCode code) { ScrollBar2Scroll(code); });
    connect(Timer2, &QTimer::timeout, this, &Tclientform::Timer2Timer);

    connect(&core_, &TClientCore::StateChanged, this, &Tclientform::ShowState);
    connect(&core_, &TClientCore::VolumeChanged, this, [this](int, int) { ShowState(); });
    connect(&core_, &TClientCore::LogAppended, Memo1, &QPlainTextEdit::appendPlainText);
    connect(&core_, &TClientCore::LogReplaced, Memo1,
            [this](const QStringList& lines) { Memo1->setPlainText(lines.join('\n')); });
    connect(&core_, &TClientCore::Failed, this, &Tclientform::ShowFailure);
    connect(&core_, &TClientCore::LanguageChanged, this, &Tclientform::ShowLanguage);
    connect(&core_, &TClientCore::TempoFollowed, this, &Tclientform::FollowTempo);
    core_.Prompts = this;

    Ask = [this](const QString& text, QMessageBox::StandardButtons buttons) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, buttons, this);
        box.move(x() + 23, y() + 50);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
}

// The window shows what the core holds.
void Tclientform::ShowState() {
    for (int slot = 1; slot <= 4; ++slot) {
        const bool running = core_.Running(slot);
        SpeedButton[slot]->setVisible(!running);
        SpeedButton[slot + 4]->setVisible(running);
        TrackControl[slot]->ShowState(core_.Muted(slot), core_.Volume(slot));
        CheckBox[slot]->setChecked(core_.Selected(slot));
    }
    SpeedButton13->setChecked(core_.PlayRequest() == TClientCore::TPlayRequest::Song);
    SpeedButton14->setChecked(core_.PlayRequest() == TClientCore::TPlayRequest::Pattern);
    // The exports join what the running machines write: without one there is nothing to join.
    ExportMidiItem->setEnabled(core_.RunningCount() > 0);
    ExportAudioItem->setEnabled(core_.RunningCount() > 0);
    SyncTransport->setChecked(core_.FollowsTransport());
    SyncClock->setChecked(core_.SendsClock());
    SyncLink->setChecked(core_.LinksOn());
    SyncFollowClock->setChecked(core_.FollowsClock());
    ShowFolderCaptions();
}

void Tclientform::ShowFolderCaptions() {
    MidiDirectory1->setText(Texts().MidiFolderItem + " -> " + core_.Settings().MidiDirectory);
    ProjectDirectory1->setText(Texts().ProjectFolderItem + " -> " +
                               core_.Settings().ProjectDirectory);
}

void Tclientform::ShowLanguage() {
    const TLanguage language = core_.Language();
    ApplyControlLanguage(*this, *Panel, language);
    InstallQtLanguage(language);
    setWindowTitle(TitleWithVersion(Texts().Title));
    ShowFolderCaptions();
    AboutBox->adjustSize();
    LanguageGerman->setChecked(language == TLanguage::German);
    LanguageEnglish->setChecked(language == TLanguage::English);
}

void Tclientform::ChooseLanguage(TLanguage language) {
    core_.ChooseLanguage(language);
    ShowLanguage(); // also when the run already spoke it: the menu's tick follows the click
}

void Tclientform::PlayOrStop(TClientCore::TPlayRequest request) {
    if (core_.PlayRequest() == request)
        core_.StopAll();
    else if (request == TClientCore::TPlayRequest::Song)
        core_.PlaySong();
    else
        core_.PlayPattern();
}

void Tclientform::ScrollBar2Change() {
    const int stepTime = TempoBar::StepTimeAt(ScrollBar2->value());
    Label6->setText(QString::fromStdString(TempoBar::BpmText(stepTime)));
    Label11->setText(QString::number(stepTime));
}

// Moved by code, the bar reports no gesture: nothing goes to the machines.
void Tclientform::FollowTempo(int position) {
    if (!ScrollBar2->isSliderDown())
        ScrollBar2->setValue(position);
}

// The tempo goes to the machines once a gesture ends, not while the slider moves.
void Tclientform::ScrollBar2Scroll(int code) {
    if (code == TWheelBar2003::scEndScroll)
        core_.SetSpeed(ScrollBar2->value());
}

TClientPrompts::TAnswer Tclientform::AskSaveFirst() {
    switch (Ask(Texts().SaveQuestion, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return TAnswer::Yes;
    case QMessageBox::No:
        return TAnswer::No;
    default:
        return TAnswer::Cancel;
    }
}

void Tclientform::ShowFailure(const QString& message) {
    Ask(message, QMessageBox::Ok);
}

void Tclientform::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized())
        core_.Minimize();
    else if (change->oldState() & Qt::WindowMinimized)
        core_.Restore();
}
