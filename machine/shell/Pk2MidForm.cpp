#include "Pk2MidForm.h"

#include "AudioExport.h"
#include "DesktopSupport.h"
#include "FormPositions.h"
#include "LocalFileNames.h"
#include "NewOptions.h"
#include "PlaceControl.h"
#include "ProgramPlaces.h"
#include "cli/CommandLine.h"
#include "midi/ProgramNames.h"
#include "server/CommandChannel.h"
#include "shell/MidiDebugger.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <QWidgetAction>

namespace {

const char* const FamilyNames[16] = {"PIANO",         "PERCUSSION", "ORGAN",      "GUITAR",
                                     "BASS",          "STRINGS",    "ENSEMBLE",   "BRASS",
                                     "REED",          "PIPE",       "SYNTH LEAD", "SYNTH PAD",
                                     "SYNTH EFFECTS", "ETHNIC",     "PERCUSSIVE", "SOUND EFFECTS"};

QLabel* Caption(QWidget* parent, const char* name, const char* text, int left, int top, int width,
                int tag = 0) {
    return Place(new QLabel(text, parent), name, left, top, width, 20, tag);
}

// The export options and statistics windows stay on top; a dialog or question of the main window
// (the export's own save dialog and overwrite question among them) must not open beneath them.
void KeepAboveToolWindows(QDialog& dialog) {
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
}

// A file dialog of the main window, titled by its text number, which the loader finds on it
// again when the language changes.
QFileDialog* NewFileDialog(QWidget& parent, const char* name, int tag,
                           QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(&parent, QString::fromStdString(TextByNumber(tag)));
    dialog->setObjectName(name);
    dialog->setProperty("Tag", tag);
    dialog->setAcceptMode(mode);
    KeepAboveToolWindows(*dialog);
    return dialog;
}

QAction* Item(QMenu* menu, const char* name, const char* text, int tag) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setProperty("Tag", tag);
    return action;
}

QMenu* SubMenu(QMenu* parent, const char* name, const char* text, int tag) {
    QMenu* menu = parent->addMenu(text);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menu->menuAction()->setProperty("Tag", tag);
    return menu;
}

QMenu* BarMenu(QMenuBar* bar, const char* name, const char* text, int tag) {
    QMenu* menu = bar->addMenu(text);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menu->menuAction()->setProperty("Tag", tag);
    return menu;
}

} // namespace

int WrapValue(int value, int low, int high) {
    if (value > high)
        return low;
    if (value < low)
        return high;
    return value;
}

TForm1::TForm1(TMachine& machine, TCommandChannel& channel, QWidget* parent)
    : QMainWindow(parent), machine_(machine), session_(machine.Session), channel_(channel) {
    setObjectName("Form1");
    setProperty("Tag", 60);
    Skins = new TSkins(this);
    Skins->Attach(this);
    // A move ends in a drop once the window rests. Arranging is idempotent, so a move the
    // program made itself does no harm.
    Drop = new TDropWatch(*this, [this](const QMoveEvent&) { return isVisible(); });
    CreateControls();
    CreateMenus();
    CreatePatchMenu();
    CreateDialogs();
    FillDeviceList();
    FillMidiInputList();

    VersionText = QString::fromStdString(VersionNumberText());
    setWindowTitle("Plinkora v" + VersionText);

    listener_ = session_.Listen([this](TChanges changes) { SessionChanged(changes); });
    ShowOutput();
    ShowHistory();
    ReadMachineSettings();
    ShowMidiIn();
}

// Reads the settings file (writing a complete one when it was missing or damaged) and shows
// what it holds.
void TForm1::ReadMachineSettings() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    std::string folderProblem;
    const TSettingsReadResult read = machine_.ReadSettingsFile(
        screen ? screen->geometry().height() : TMachine::FallbackScreenHeight, folderProblem);
    if (!folderProblem.empty())
        QMessageBox::warning(this, "Plinkora", FromLocal(folderProblem));
    if (read.MustWrite)
        MakeIniFile();

    const TSettings& settings = machine_.Settings;
    // A position saved on a larger screen must not leave the window (and its menu) out of reach.
    MoveOntoScreen(*this, settings.Layout.MainLeft, settings.Layout.MainTop);
    Skins->SetSkinNumber(settings.SkinNumber);
    ShowFolderCaptions();
}

void TForm1::MakeIniFile() {
    TSettings& settings = machine_.Settings;
    settings.Range = session_.Song().Range;
    settings.TonePreview = session_.PreviewWhilePlaying();
    settings.StepCapacity = session_.Song().StepCapacity;
    settings.Copyright = session_.ExportOptions().Copyright;
    settings.SkinNumber = Skins->SkinNumber();
    try {
        MakeIni(settings, machine_.SettingsPath);
    } catch (const std::exception& failure) {
        QMessageBox::warning(this, "Plinkora", QString::fromStdString(FailureText(failure)));
    }
    ShowFolderCaptions();
}

void TForm1::ShowFolderCaptions() {
    const TLanguageTexts& texts = session_.Texts();
    const QString songLabel = texts.SongFolderLabel.empty()
                                  ? QString("Song (*.pks) Directory")
                                  : QString::fromStdString(texts.SongFolderLabel);
    const QString midiLabel = texts.MidiFolderLabel.empty()
                                  ? QString("Midi (*.mid) Directory")
                                  : QString::fromStdString(texts.MidiFolderLabel);
    SongDirectory1->setText(songLabel + "  ->  " +
                            QFile::decodeName(machine_.Settings.SongFolder.c_str()));
    MidiDirectory1->setText(midiLabel + "  ->  " +
                            QFile::decodeName(machine_.Settings.MidiFolder.c_str()));
}

// Lets the user choose a folder for the file dialogs; a choice is written to the settings.
void TForm1::ChooseFolderFor(std::string& folder, const std::string& localizedTitle,
                             const char* englishTitle) {
    const QString title =
        localizedTitle.empty() ? QString(englishTitle) : QString::fromStdString(localizedTitle);
    const std::string chosen = ChooseFolder(this, title, folder);
    if (chosen.empty())
        return;
    folder = chosen;
    MakeIniFile();
}

void TForm1::SongDirectory1Click() {
    ChooseFolderFor(machine_.Settings.SongFolder, session_.Texts().SongFolderBrowseTitle,
                    "Choose a folder for your Plinkora songs");
}

void TForm1::MidiDirectory1Click() {
    ChooseFolderFor(machine_.Settings.MidiFolder, session_.Texts().MidiFolderBrowseTitle,
                    "Choose a folder for your MIDI files");
}

TForm1::~TForm1() {
    session_.Unlisten(listener_);
}

void TForm1::CreateControls() {
    auto* strip = new QWidget(this);
    strip->setObjectName("Panel1");
    setCentralWidget(strip);
    setFixedSize(MainWindowWidth, MainWindowHeight);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Button6 = Place(new QPushButton("> PAT.", strip), "Button6", 2, 2, 76, 22, 70);
    Button1 = Place(new QPushButton("> SONG", strip), "Button1", 80, 2, 80, 22, 63);
    Button2 = Place(new QPushButton("STOP", strip), "Button2", 162, 2, 44, 22, 62);
    Button3 = Place(new QPushButton("RESET", strip), "Button3", 208, 2, 66, 22, 64);
    SpeedButton1 = Place(new QToolButton(strip), "SpeedButton1", 276, 2, 22, 22);
    SpeedButton1->setText(QString::fromUtf8("\u25B6"));
    SpeedButton1->setCheckable(true);
    NamePlayToggle();
    SpeedButton2 = Place(new QToolButton(strip), "SpeedButton2", 298, 2, 22, 22);
    SpeedButton2->setText(QString::fromUtf8("\u25A0"));
    SpeedButton3 = Place(new QToolButton(strip), "SpeedButton3", 322, 2, 34, 22);
    SpeedButton3->setText("PAT.");
    SpeedButton3->setCheckable(true);
    SpeedButton3->setChecked(true);
    SpeedButton3->setAutoExclusive(true);
    SpeedButton4 = Place(new QToolButton(strip), "SpeedButton4", 356, 2, 40, 22);
    SpeedButton4->setText("TRACK");
    SpeedButton4->setCheckable(true);
    SpeedButton4->setAutoExclusive(true);

    Caption(strip, "Label1", "BPM:", 2, 28, 30);
    BpmValue = Caption(strip, "Label2", "75.000", 32, 28, 52);
    Caption(strip, "Label3", "ms:", 86, 28, 22);
    MsValue = Caption(strip, "Label4", "200", 108, 28, 36);
    ScrollBar2 = Place(new TWheelBar2003(Qt::Horizontal, strip), "ScrollBar2", TempoBarLeft,
                       TempoRowTop + 1, TempoBarWidth, 18);
    ScrollBar2->setRange(MinStepTime, MaxStepTime);
    ScrollBar2->setPageStep(50);
    ScrollBar2->SetWheelStep(10);
    ScrollBar2->setValue(830);
    LinkPeers = Caption(strip, "LinkPeers", "", TempoBarLeft + TempoBarWidth, TempoRowTop, 0);
    LinkPeers->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LinkPeers->hide();

    QLabel* deviceLabel = Caption(strip, "Label5", "Device:", 2, 54, 44, 67);
    auto* deviceBox = new TDeviceBox(strip);
    deviceBox->Opening = [this] { session_.RefreshDevices(); }; // a JACK server came or went
    ComboBox1 = Place(deviceBox, "ComboBox1", 46, 52, 150, 22);
    deviceLabel->setBuddy(ComboBox1); // a screen reader says the list's label with its choice
    Caption(strip, "Label6", "Channel:", 202, 54, 48, 66);
    SpinEdit3 = Place(new QSpinBox(strip), "SpinEdit3", 250, 52, 44, 22);
    SpinEdit3->setRange(0, 17);
    SpinEdit3->setValue(1);
    Caption(strip, "Label7", "Transpose:", 298, 54, 54, 65);
    SpinEdit2 = Place(new QSpinBox(strip), "SpinEdit2", 352, 52, 44, 22);
    SpinEdit2->setRange(TransposeFloor, 71);

    Caption(strip, "Label8", "Patch:", 2, 80, 44, 27);
    Edit1 = Place(new QLineEdit(strip), "Edit1", 46, 78, 150, 22);
    Edit1->setReadOnly(true);
    SpeedButton5 = Place(new QToolButton(strip), "SpeedButton5", 198, 78, 22, 22);
    SpeedButton5->setText("...");
    SpinEdit1 = Place(new QSpinBox(strip), "SpinEdit1", 222, 78, 50, 22);
    SpinEdit1->setRange(-1, 128);
    Caption(strip, "Label9", "Bnk", 278, 80, 26);
    SpinEdit4 = Place(new QSpinBox(strip), "SpinEdit4", 304, 78, 50, 22);
    SpinEdit4->setRange(-1, 128);

    QLabel* inputLabel = Caption(strip, "Label10", "MIDI input", 2, 106, 80, MidiInputLabelText);
    auto* inputBox = new TDeviceBox(strip);
    inputBox->Opening = [this] {
        session_.RefreshDevices(); // a JACK server came or went
        FillMidiInputList();
    };
    MidiInputBox = Place(inputBox, "MidiInputBox", 84, 104, 210, 22);
    inputLabel->setBuddy(MidiInputBox);

    connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm1::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm1::SpeedButton4Click);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &TForm1::ScrollBar2Change);
    // The tempo applies once per gesture: a drag or click released, a key released, a notch.
    connect(ScrollBar2, &TWheelBar2003::Scroll, this, [this](TWheelBar2003::TScrollCode code) {
        if (code == TWheelBar2003::scEndScroll)
            ScrollBar2Scroll();
    });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TForm1::ComboBox1Change);
    connect(MidiInputBox, &QComboBox::currentIndexChanged, this, &TForm1::MidiInputBoxChange);
    connect(SpinEdit1, &QSpinBox::valueChanged, this, &TForm1::SpinEdit1Change);
    connect(SpinEdit4, &QSpinBox::valueChanged, this, &TForm1::SpinEdit4Change);
    connect(SpinEdit2, &QSpinBox::valueChanged, this, &TForm1::SpinEdit2Change);
    connect(SpinEdit3, &QSpinBox::valueChanged, this, &TForm1::SpinEdit3Change);
}

void TForm1::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    QMenu* file = BarMenu(bar, "File1", "File", 80);
    QMenu* newMenu = SubMenu(file, "New1", "New", 90);
    NewProject1 = Item(newMenu, "Project1", "Project", 91);
    Drumsession1 = Item(newMenu, "Drumsession1", "Drumsession", 92);
    SongKeepPatterns1 = Item(newMenu, "SongKeepPatterns1", "Song (Keep Patterns)", 93);
    Load1 = Item(file, "Load1", "Load", 94);
    Save1 = Item(file, "Save1", "Save", 95);
    SaveAs1 = Item(file, "SaveAs1", "Save As", 96);
    ExportMidi1 = Item(file, "ExportMidi1", "Export  Midi", 97);
    ExportAudio1 = Item(file, "ExportAudio1", "Export Audio...", 430);
    connect(ExportAudio1, &QAction::triggered, this, &TForm1::ExportAudioFile);
    file->addSeparator();
    Exit1 = Item(file, "Exit1", "Exit", 98);

    QMenu* edit = BarMenu(bar, "Edit1", "Edit", 84);
    Undo1 = Item(edit, "Undo1", "Undo", 85);
    Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Redo1 = Item(edit, "Redo1", "Redo", 86);
    Redo1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    addActions({Undo1, Redo1}); // the keys work also while the menu bar is hidden

    QMenu* options = BarMenu(bar, "Options1", "Options", 81);
    QMenu* folders = SubMenu(options, "Directorys1", "Directorys", 100);
    SongDirectory1 = Item(folders, "SongDirectory1", "Song (*.pks) Directory", 101);
    MidiDirectory1 = Item(folders, "MidiDirectory1", "Midi (*.mid) Directory", 102);
    QMenu* range = SubMenu(options, "ScrollbarRange1", "Scrollbar Range", 105);
    auto* octaves = new QActionGroup(this);
    const char* octaveNames[5] = {"N1Octave1", "N2Octaves1", "N3Octaves1", "N4Octaves1",
                                  "N5Octaves1"};
    const char* octaveTexts[5] = {"1 Octave", "2 Octaves", "3 Octaves", "4 Octaves", "5 Octaves"};
    for (int i = 0; i < 5; ++i) {
        Octave[i] = Item(range, octaveNames[i], octaveTexts[i], OctaveRanges[i]);
        Octave[i]->setCheckable(true);
        octaves->addAction(Octave[i]);
        const int rangeValue = OctaveRanges[i];
        connect(Octave[i], &QAction::triggered, this,
                [this, rangeValue] { RangeClick(rangeValue); });
    }
    PreviewofTones1 = Item(options, "PreviewofTones1", "Tone Preview while Playback", 106);
    PreviewofTones1->setCheckable(true);
    SendClock1 = Item(options, "SendClock1", "Send MIDI clock", SendClockText);
    SendClock1->setCheckable(true);
    FollowTransport1 =
        Item(options, "FollowTransport1", "Follow JACK transport", FollowTransportText);
    FollowTransport1->setCheckable(true);
    Link1 = Item(options, "Link1", "Ableton Link", LinkText);
    Link1->setCheckable(true);
    LinkStartStop1 = Item(options, "LinkStartStop1", "Sync start/stop", LinkStartStopText);
    LinkStartStop1->setCheckable(true);
    CreateMidiInItems(*options);
    CreateLanguageMenu(*SubMenu(options, "Language1", "Language", 108));

    Statistics1 = bar->addAction("Statistics");
    Statistics1->setObjectName("Statistics1");
    Statistics1->setProperty("Tag", 163);
    Skin1 = bar->addAction("Skin");
    Skin1->setObjectName("Skin1");
    Skin1->setProperty("Tag", 82);
    QMenu* help = BarMenu(bar, "Help1", "Help", 200);
    Contents1 = Item(help, "Contents1", "Contents", 201);
    Info1 = Item(help, "Info1", "Info", 83);

    connect(NewProject1, &QAction::triggered, this, &TForm1::NewProjectClick);
    connect(Drumsession1, &QAction::triggered, this, &TForm1::DrumsessionClick);
    connect(SongKeepPatterns1, &QAction::triggered, this, &TForm1::SongKeepPatternsClick);
    connect(Load1, &QAction::triggered, this, &TForm1::LoadClick);
    connect(Save1, &QAction::triggered, this, &TForm1::SaveClick);
    connect(SaveAs1, &QAction::triggered, this, &TForm1::SaveAsClick);
    connect(Exit1, &QAction::triggered, this, [this] { channel_.RequestClose(); });
    connect(PreviewofTones1, &QAction::triggered, this, &TForm1::PreviewofTones1Click);
    connect(SendClock1, &QAction::triggered, this, &TForm1::SendClock1Click);
    connect(FollowTransport1, &QAction::triggered, this, &TForm1::FollowTransport1Click);
    connect(Link1, &QAction::triggered, this, &TForm1::Link1Click);
    connect(LinkStartStop1, &QAction::triggered, this, &TForm1::LinkStartStop1Click);
    connect(SongDirectory1, &QAction::triggered, this, &TForm1::SongDirectory1Click);
    connect(Skin1, &QAction::triggered, this, &TForm1::Skin1Click);
    connect(MidiDirectory1, &QAction::triggered, this, &TForm1::MidiDirectory1Click);
    connect(Contents1, &QAction::triggered, this, &TForm1::OpenUserGuide);
    connect(Undo1, &QAction::triggered, this, [this] { session_.Undo(); });
    connect(Redo1, &QAction::triggered, this, [this] { session_.Redo(); });
}

void TForm1::CreateMidiInItems(QMenu& options) {
    FollowClock1 = Item(&options, "FollowClock1", "Follow MIDI clock", FollowClockText);
    FollowClock1->setCheckable(true);
    connect(FollowClock1, &QAction::triggered, this, &TForm1::FollowClock1Click);
    MidiControl1 = Item(&options, "MidiControl1", "MIDI control...", MidiControlItemText);
    connect(MidiControl1, &QAction::triggered, this, [this] {
        if (OpenMidiControl)
            OpenMidiControl();
    });
    CreateKeyboardMenu(
        *SubMenu(&options, "KeyboardTranspose1", "Transpose from keyboard", KeyboardTransposeText));
}

// "Off", then one item per channel; the channel items are captioned by ShowMidiIn.
void TForm1::CreateKeyboardMenu(QMenu& menu) {
    auto* group = new QActionGroup(this);
    for (int channel = 0; channel <= 16; ++channel) {
        QAction* item = Item(&menu, qPrintable(QString("KeyboardChannel%1").arg(channel)), "Off",
                             channel == 0 ? KeyboardOffText : 0);
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, channel] { KeyboardChannelClick(channel); });
        KeyboardChannel1[channel] = item;
    }
}

// Each language's name is written in that language, so either can be found in the other.
void TForm1::CreateLanguageMenu(QMenu& menu) {
    auto* group = new QActionGroup(this);
    German1 = Item(&menu, "German1", "Deutsch", 0);
    English1 = Item(&menu, "English1", "English", 0);
    const auto choose = [this](QAction* item, TLanguage language) {
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, language] {
            if (ChooseLanguage)
                ChooseLanguage(language);
        });
    };
    choose(German1, TLanguage::German);
    choose(English1, TLanguage::English);
    group->addAction(German1);
    group->addAction(English1);
    ShowLanguage(CurrentLanguage());
}

void TForm1::ShowLanguage(TLanguage language) {
    (language == TLanguage::English ? English1 : German1)->setChecked(true);
}

void TForm1::OpenUserGuide() {
    const TLanguage language = CurrentLanguage();
    const QString guide = TProgramPlaces(QCoreApplication::applicationFilePath())
                              .Guide(GuideFile("Plinkora", language));
    if (const QString problem = OpenGuide(guide, language); !problem.isEmpty())
        Ask(problem, QMessageBox::Ok);
}

// The patch menu: 16 families of 8 programs in four columns of four families.
void TForm1::CreatePatchMenu() {
    PatchMenu = new QMenu(this);
    PatchMenu->setObjectName("PopupMenu1");
    auto* grid = new QWidget(PatchMenu);
    auto* layout = new QGridLayout(grid);
    layout->setSpacing(0);
    layout->setContentsMargins(4, 4, 4, 4);
    for (int family = 0; family < 16; ++family) {
        const int column = family / 4;
        const int firstRow = (family % 4) * 9;
        auto* title = new QLabel(FamilyNames[family], grid);
        title->setObjectName(QString("trenn_%1").arg(family));
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        layout->addWidget(title, firstRow, column);
        for (int n = 8 * family; n < 8 * family + 8; ++n) {
            const std::string_view name = ProgramName(n);
            auto* item = new QToolButton(grid);
            item->setObjectName(QString("Patch_%1").arg(n));
            item->setText(QString::fromUtf8(name.data(), int(name.size())));
            item->setAutoRaise(true);
            item->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            layout->addWidget(item, firstRow + 1 + n % 8, column);
            connect(item, &QToolButton::clicked, this, [this, n] {
                PatchMenu->close();
                PatchClick(n);
            });
        }
    }
    auto* action = new QWidgetAction(PatchMenu);
    action->setDefaultWidget(grid);
    PatchMenu->addAction(action);
    Edit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Edit1, &QLineEdit::customContextMenuRequested, this,
            [this] { PatchMenu->popup(QCursor::pos()); });
    connect(SpeedButton5, &QToolButton::clicked, this,
            [this] { PatchMenu->popup(QCursor::pos()); });
}

QFileDialog& TForm1::OpenDialog() {
    if (!OpenDialog1) {
        OpenDialog1 = NewFileDialog(*this, "OpenDialog1", 94, QFileDialog::AcceptOpen);
        OpenDialog1->setFileMode(QFileDialog::ExistingFile);
        OpenDialog1->setNameFilter("*.pks");
    }
    return *OpenDialog1;
}

QFileDialog& TForm1::SaveDialog() {
    if (!SaveDialog1) {
        SaveDialog1 = NewFileDialog(*this, "SaveDialog1", 96, QFileDialog::AcceptSave);
        // The overwrite question is the program's own, and "No" keeps the dialog open.
        SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);
        FollowSelectedFilterSuffix(*SaveDialog1);
    }
    return *SaveDialog1;
}

void TForm1::CreateDialogs() {
    Ask = [this](const QString& question, QMessageBox::StandardButtons buttons) {
        QMessageBox box(QMessageBox::NoIcon, "Plinkora", question, buttons, this);
        KeepAboveToolWindows(box);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
    ChooseSongToOpen = [this](const QString& folder) {
        QFileDialog& dialog = OpenDialog();
        if (!folder.isEmpty())
            dialog.setDirectory(folder);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    ChooseMidiToSave = [this](const QString& folder, const QString& proposed) {
        return RunSaveDialog("mid", QString::fromStdString(TextByNumber(433)), folder, proposed);
    };
    ChooseAudioToSave = [this](const QString& folder, const QString& proposed) {
        return RunSaveDialog("wav", AudioFileFilter(), folder, proposed);
    };
    ChooseSongToSave = [this](const QString& folder, const QString& proposed) {
        return RunSaveDialog("pks", "Plinkora Song (*.pks)", folder, proposed);
    };
}

// The save dialog shared by songs and MIDI files: its default extension says which it saves.
QString TForm1::RunSaveDialog(const QString& suffix, const QString& filter, const QString& folder,
                              const QString& proposed) {
    QFileDialog& dialog = SaveDialog();
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix); // then the suffix of the filter the user selects
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void TDeviceBox::showPopup() {
    if (Opening)
        Opening();
    QComboBox::showPopup();
}

void TForm1::FillDeviceList() {
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->clear();
    for (const std::string& name : session_.DeviceNames())
        ComboBox1->addItem(QString::fromStdString(name));
    ComboBox1->setCurrentIndex(0);
}

bool TForm1::Playing() const {
    return session_.Playing();
}

// The skin is tiled over an area a little larger than the pattern editor (392 x 296).
void TForm1::Skin1Click() {
    Skins->NextSkin(QSize(392, 296));
}

void TForm1::enterEvent(QEnterEvent* event) {
    QMainWindow::enterEvent(event);
    activateWindow();
    raise();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (channel_.HasEnded()) { // the shutdown already asked and is ending the program
        event->accept();
        return;
    }
    if (session_.Song().SongModified && !AskSaveQuestion(false)) {
        event->ignore();
        return;
    }
    event->accept();
    CloseAnswered = true;
    session_.StopTicks();
    MakeIniFile();
    if (!channel_.Closing())
        channel_.RequestClose();
}
