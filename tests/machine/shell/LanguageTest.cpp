#include "shell/language.h"

#include "song/SongModel.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

// The German table as the user must see it, written out independently of the program's table.
const std::map<int, std::string> ExpectedTexts = {
    {1, "Neu"},
    {2, "Kopieren"},
    {3, "Reset"},
    {4, "SPIELE PAT."},
    {5, "STOP"},
    {6, "Pattern Editor"},
    {13, "1 Oktave"},
    {19, "Optimiert f\xC3\xBCr"},
    {20, "Midi Export"},
    {21, "Export Optionen"},
    {22, "Zus\xC3\xA4tzliche Informationen"},
    {23, "Programmwechsel einf\xC3\xBCgen"},
    {24, "monophone Handys"},
    {25, "2 Oktaven"},
    {26, "Copyright"},
    {27, "Instr."},
    {28, "Beschreibung"},
    {29, "Text"},
    {30, "Midi speichern"},
    {31, "Abbruch"},
    {32, "Trackname"},
    {37, "3 Oktaven"},
    {40, "Track Editor"},
    {41, "Nr."},
    {42, "PAT"},
    {43, "Folgen"},
    {44, "Einf\xC3\xBCgen"},
    {45, "L\xC3\xB6schen"},
    {46, "SPIELE SONG"},
    {47, "STOP"},
    {49, "4 Oktaven"},
    {60, "Plinkora"},
    {61, "5 Oktaven"},
    {62, "STOP"},
    {63, "SPIELE SONG"},
    {64, "MIDI RESET"},
    {65, "Transp."},
    {66, "Kanal"},
    {67, "Ger\xC3\xA4t"},
    {68, "Pattern Editor"},
    {69, "Track Editor"},
    {70, "SPIELE PAT."},
    {80, "Datei"},
    {81, "Optionen"},
    {82, "Hintergrund"},
    {83, "Info..."},
    {84, "Bearbeiten"},
    {85, "Rückgängig"},
    {86, "Wiederholen"},
    {87, "Lizenz: GPL-3.0-or-later"},
    {88, "Ohne jede Gewährleistung"},
    {90, "Neu"},
    {91, "Projekt"},
    {92, "Schlagzeugspur"},
    {93, "Song (Pattern behalten)"},
    {94, "\xC3\x96"
         "ffnen"},
    {95, "Speichern"},
    {96, "Speichern unter"},
    {97, "Exportiere Midi"},
    {98, "Beenden"},
    {100, "Verzeichnisse"},
    {101, "Song (*.pks) Verzeichnis"},
    {102, "Midi (*.mid) Verzeichnis"},
    {105, "Reglerweite"},
    {106, "Tonvorschau bei Wiedergabe"},
    {107, "Takt"},
    {108, "Sprache"},
    {120, "L\xC3\xB6schen"},
    {130, "Takteinstellung"},
    {131, "Faktor"},
    {132, "Track Eigenschaften"},
    {140, "Aus"},
    {141, "Ge\xC3\xB6"
          "ffnet"},
    {142, "Spiele"},
    {143, "Angehalten"},
    {144, "Neuer Song"},
    {150, "W\xC3\xA4hlen Sie ein Verzeichnis f\xC3\xBCr Ihre Plinkora Songs"},
    {151, "W\xC3\xA4hlen Sie ein Verzeichnis f\xC3\xBCr Ihre Midi Dateien"},
    {152, "Wollen Sie den aktuellen Song speichern?"},
    {153, "Soll die existierende Datei \xC3\xBC"
          "berschrieben werden?"},
    {160, "Projekt Statistik"},
    {161, "Im Track verwendete Pattern:"},
    {162, "Unbenutzte Pattern:"},
    {163, "Statistik"},
    {164, "Gesamtanzahl der Pattern:"},
    {165, "L\xC3\xA4nge des Tracks (in Pattern):"},
    {200, "Hilfe"},
    {201, "Inhalt"},
    {300, " Das gew\xC3\xA4hlte Ger\xC3\xA4t wird bereits verwendet "},
    {350, "Nicht verwendet in GM"},
    {351, "Tonl\xC3\xA4nge "},
    {360, "Tonbeschr\xC3\xA4nkung"},
    {361, "Zufall"},
    {400, "Note ändern"},
    {401, "Tonlänge ändern"},
    {402, "Neuer Pattern"},
    {403, "Pattern kopieren"},
    {404, "Pattern zurücksetzen"},
    {405, "Zufallstöne"},
    {406, "Pattern nach oben"},
    {407, "Pattern nach unten"},
    {408, "Pattern nach links"},
    {409, "Pattern nach rechts"},
    {410, "Patternname"},
    {411, "Songzeile einfügen"},
    {412, "Songzeile löschen"},
    {413, "Songzeile ändern"},
    {414, "Tempo"},
    {415, "Transponierung"},
    {416, "Kanal"},
    {417, "Instrument"},
    {418, "Bank"},
    {419, "Gerät"},
    {420, "Notenbereich"},
    {430, "Exportiere Audio..."},
    {431, "Die Audiodatei wird berechnet..."},
    {432, "Abbrechen"},
    {433, "Typ 0 MidiFile (*.mid)"},
    {434, "Dur"},
    {435, "Moll"},
    {436, "Wiedergabe"},
    {500, "MIDI-Clock senden"},
    {501, "JACK-Transport folgen"},
    {502, "Ableton Link"},
    {503, "Start/Stop synchronisieren"},
    {504, "Link: %1 Teilnehmer"},
    {505, "Link: 1 Teilnehmer"},
    {506, "MIDI-Clock folgen"},
    {507, "MIDI-Steuerung..."},
    {508, "Lernen"},
    {509, "Transponieren per Tastatur"},
    {520, "MIDI-Eingang"},
    {521, "keiner"},
    {522, "Aus"},
    {523, "Kanal %1"},
    {524, "MIDI-Steuerung"},
    {525, "Song abspielen"},
    {526, "Pattern abspielen"},
    {527, "Stopp"},
    {528, "Nächstes Pattern"},
    {529, "Voriges Pattern"},
    {530, "Stumm"},
    {531, "Tempo"},
    {532, "Lautstärke"},
    {533, "Transponierung"},
    {534, "Note %1, Kanal %2"},
    {535, "Controller %1, Kanal %2"},
    {536, "Löschen"},
    {537, "Warte auf MIDI…"},
    {538, "Lernen: %1"},
    {539, "Löschen: %1"},
    {540, "Aktion"},
    {541, "MIDI-Nachricht"},
};

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

template <typename T> T* Tagged(T* object, int tag) {
    object->setProperty("Tag", tag);
    return object;
}

TEST(LanguageTable, HoldsEveryTextExactlyAndNothingElse) {
    for (const auto& [number, text] : ExpectedTexts)
        EXPECT_EQ(TextByNumber(number), text) << "text number " << number;
    EXPECT_EQ(GermanTable.size(), ExpectedTexts.size());
    EXPECT_TRUE(std::is_sorted(GermanTable.begin(), GermanTable.end(),
                               [](auto& a, auto& b) { return a.Number < b.Number; }));
}

TEST(LanguageTable, EnglishHoldsTheSameNumbersAndEveryTextFitsTheBuffer) {
    ASSERT_EQ(EnglishTable.size(), GermanTable.size());
    for (std::size_t i = 0; i < GermanTable.size(); ++i) {
        EXPECT_EQ(EnglishTable[i].Number, GermanTable[i].Number) << "entry " << i;
        EXPECT_FALSE(EnglishTable[i].Text.empty()) << "text number " << EnglishTable[i].Number;
        for (const TLanguageEntry& entry : {GermanTable[i], EnglishTable[i]})
            EXPECT_EQ(CutToTextBuffer(entry.Text), entry.Text) << "text number " << entry.Number;
    }
    for (const THintEntry& hint : HintTable())
        EXPECT_FALSE(hint.EnglishHint.empty()) << hint.Window << " " << hint.Control;
}

TEST(LanguageTable, UmlautsReachTheWindowsAsSingleCharacters) {
    const QString device = QString::fromStdString(TextByNumber(67));
    EXPECT_EQ(device.size(), 5);
    EXPECT_EQ(device, QString::fromUtf16(u"Ger\u00E4t"));
    EXPECT_EQ(QString::fromStdString(TextByNumber(94)), QString::fromUtf16(u"\u00D6ffnen"));
    EXPECT_EQ(QString::fromStdString(TextByNumber(153)).count(QChar(0x00FC)), 1);
}

TEST(LanguageTable, NumbersWithoutEntryGiveEmptyText) {
    for (int number : {0, -1, 7, 12, 14, 99, 166, 202, 299, 362, 2060, 100000})
        EXPECT_EQ(TextByNumber(number), "") << "text number " << number;
}

TEST(LanguageTable, KeepsAtMost59CharactersCountingUmlautsAsOne) {
    const std::string sixty(60, 'x');
    EXPECT_EQ(CutToTextBuffer(sixty), std::string(59, 'x'));
    EXPECT_EQ(CutToTextBuffer(std::string(59, 'y')), std::string(59, 'y'));
    EXPECT_EQ(CutToTextBuffer(""), "");

    // 58 letters, then two umlauts: the first umlaut is the 59th character and survives whole.
    const std::string umlautAtTheEdge = std::string(58, 'a') + "\xC3\xA4\xC3\xB6";
    EXPECT_EQ(CutToTextBuffer(umlautAtTheEdge), std::string(58, 'a') + "\xC3\xA4");

    std::string manyUmlauts;
    for (int i = 0; i < 70; ++i)
        manyUmlauts += "\xC3\xBC";
    EXPECT_EQ(QString::fromStdString(CutToTextBuffer(manyUmlauts)).size(), 59);

    const TLanguageEntry longTable[] = {{5, umlautAtTheEdge}, {6, "kurz"}};
    EXPECT_EQ(TextByNumber(longTable, 5), std::string(58, 'a') + "\xC3\xA4");
    EXPECT_EQ(TextByNumber(longTable, 6), "kurz");
    EXPECT_EQ(TextByNumber(longTable, 7), "");
}

TEST(LanguageTexts, MessageTextsComeFromTheirNumbers) {
    const TLanguageTexts texts = LoadMessageTexts();
    EXPECT_EQ(texts.OffText, "Aus");
    EXPECT_EQ(texts.OpenedText, ExpectedTexts.at(141));
    EXPECT_EQ(texts.PlayingText, "Spiele");
    EXPECT_EQ(texts.StoppedText, "Angehalten");
    EXPECT_EQ(texts.NewSongName, "Neuer Song");
    EXPECT_EQ(texts.SongFolderLabel, "Song (*.pks) Verzeichnis");
    EXPECT_EQ(texts.MidiFolderLabel, "Midi (*.mid) Verzeichnis");
    EXPECT_EQ(texts.SongFolderBrowseTitle, ExpectedTexts.at(150));
    EXPECT_EQ(texts.MidiFolderBrowseTitle, ExpectedTexts.at(151));
    EXPECT_EQ(texts.SaveQuestion, "Wollen Sie den aktuellen Song speichern?");
    EXPECT_EQ(texts.OverwriteQuestion, ExpectedTexts.at(153));
    EXPECT_EQ(texts.DeviceBusyText, ExpectedTexts.at(300));
    EXPECT_EQ(texts.HelpContentsText, "Inhalt");
    EXPECT_EQ(texts.NoteDescriptionText, "Nicht verwendet in GM");

    const TLanguageEntry other[] = {{144, "New Song"}, {300, "busy"}};
    const TLanguageTexts english = LoadMessageTexts(other);
    EXPECT_EQ(english.NewSongName, "New Song");
    EXPECT_EQ(english.DeviceBusyText, "busy");
    EXPECT_EQ(english.OffText, "");
}

// A main window with the menus and controls that matter, designed in English.
struct TMainWindowFixture {
    QMainWindow window;
    QMenu* fileMenu = nullptr;
    QMenu* newMenu = nullptr;
    QAction* project = nullptr;
    QAction* exit = nullptr;
    QMenu* rangeMenu = nullptr;
    std::vector<QAction*> rangeItems;
    QAction* untaggedItem = nullptr;
    QAction* parentlessItem = nullptr;
    std::unique_ptr<QAction> parentlessOwner;
    QPushButton* reset = nullptr;
    QToolButton* playMode = nullptr;
    QLabel* bank = nullptr;
    QLabel* bpm = nullptr;
    QLabel* device = nullptr;
    QCheckBox* check = nullptr;
    QGroupBox* group = nullptr;
    QRadioButton* radio = nullptr;
    QPushButton* noEntry = nullptr;
    QFileDialog* openDialog = nullptr;

    TMainWindowFixture() {
        window.setObjectName("Form1");
        window.setWindowTitle("Form1");
        Tagged(&window, 60);

        fileMenu = Tagged(window.menuBar()->addMenu("File"), 0);
        fileMenu->menuAction()->setProperty("Tag", 80);
        newMenu = fileMenu->addMenu("New");
        newMenu->menuAction()->setProperty("Tag", 90);
        project = Tagged(newMenu->addAction("Project"), 91);
        exit = Tagged(fileMenu->addAction("Exit"), 98);

        QMenu* options = window.menuBar()->addMenu("Options");
        rangeMenu = Tagged(options->addMenu("Scrollbar Range"), 105);
        const char* designCaptions[] = {"1 Octave", "2 Octaves", "3 Octaves", "4 Octaves",
                                        "5 Octaves"};
        for (int i = 0; i < 5; ++i)
            rangeItems.push_back(Tagged(rangeMenu->addAction(designCaptions[i]), OctaveRanges[i]));
        untaggedItem = options->addAction("Untagged");
        parentlessOwner = std::make_unique<QAction>("Statistics");
        parentlessItem = Tagged(parentlessOwner.get(), 163);
        window.menuBar()->addAction(parentlessItem);

        auto* strip = new QWidget(&window);
        window.setCentralWidget(strip);
        auto* layout = new QVBoxLayout(strip);
        reset = Tagged(new QPushButton("RESET", strip), 64);
        playMode = Tagged(new QToolButton(strip), 70);
        playMode->setText("PAT.");
        bank = Tagged(new QLabel("Bnk", strip), 0);
        bpm = new QLabel("BPM:", strip);
        group = Tagged(new QGroupBox("Export Options", strip), 21);
        device = Tagged(new QLabel("Device:", group), 67);
        check = Tagged(new QCheckBox("Export Program Change", group), 23);
        radio = Tagged(new QRadioButton("Mode", strip), 43);
        noEntry = Tagged(new QPushButton("Design", strip), 7);
        for (QWidget* w :
             std::initializer_list<QWidget*>{reset, playMode, bank, bpm, group, radio, noEntry})
            layout->addWidget(w);
        openDialog = Tagged(new QFileDialog(&window, "Open"), 94);
    }
};

TEST(LoadLanguage, TranslatesTaggedMenusAndControlsOfTheMainWindow) {
    TMainWindowFixture f;
    LoadLanguage({&f.window});

    EXPECT_EQ(f.window.windowTitle(), "Plinkora");
    EXPECT_EQ(f.fileMenu->title(), "Datei");
    EXPECT_EQ(f.exit->text(), "Beenden");
    EXPECT_EQ(f.newMenu->title(), "Neu");
    EXPECT_EQ(f.project->text(), "Projekt");
    EXPECT_EQ(f.rangeMenu->title(), "Reglerweite");
    const char* ranges[] = {"1 Oktave", "2 Oktaven", "3 Oktaven", "4 Oktaven", "5 Oktaven"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(f.rangeItems[i]->text(), ranges[i]);
    EXPECT_EQ(f.untaggedItem->text(), "Untagged");
    EXPECT_EQ(f.parentlessItem->text(), "Statistik");

    EXPECT_EQ(f.reset->text(), "MIDI RESET");
    EXPECT_EQ(f.device->text(), Q("Ger\xC3\xA4t"));
    EXPECT_EQ(f.check->text(), Q("Programmwechsel einf\xC3\xBCgen"));
    EXPECT_EQ(f.group->title(), "Export Optionen");
    EXPECT_EQ(f.openDialog->windowTitle(), Q("\xC3\x96"
                                             "ffnen"));
    // A number without a text empties the caption, as the loader always applies the text.
    EXPECT_EQ(f.noEntry->text(), "");
}

TEST(LoadLanguage, LeavesUntaggedControlsToolButtonsAndOtherKindsAlone) {
    TMainWindowFixture f;
    LoadLanguage({&f.window});
    EXPECT_EQ(f.bank->text(), "Bnk");
    EXPECT_EQ(f.bpm->text(), "BPM:");
    EXPECT_EQ(f.playMode->text(), "PAT.");
    EXPECT_EQ(f.radio->text(), "Mode");
}

TEST(LoadLanguage, GivesEveryWindowTheTextOfItsTagEvenWhenEmpty) {
    QWidget server;
    server.setWindowTitle("LOG");
    QWidget debugger;
    Tagged(&debugger, 0)->setWindowTitle("Midi Debugger");
    QWidget statistics;
    statistics.setObjectName("Form9");
    Tagged(&statistics, 160)->setWindowTitle("Form9");
    auto* used = Tagged(new QLabel("Used", &statistics), 161);
    auto* length = Tagged(new QLabel("Length", &statistics), 165);
    auto* ok = new QPushButton("OK", &statistics);

    const TLanguageTexts texts = LoadLanguage({&server, nullptr, &debugger, &statistics});

    EXPECT_EQ(server.windowTitle(), "");
    EXPECT_EQ(debugger.windowTitle(), "");
    EXPECT_EQ(statistics.windowTitle(), "Projekt Statistik");
    EXPECT_EQ(used->text(), "Im Track verwendete Pattern:");
    EXPECT_EQ(length->text(), Q("L\xC3\xA4nge des Tracks (in Pattern):"));
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(texts.NewSongName, "Neuer Song");
}

TEST(LoadLanguage, LaterStepsSetCaptionsAndFolders) {
    TMainWindowFixture f;
    const TLanguageTexts texts = LoadLanguage({&f.window});
    ApplyMainWindowCaption(f.window, "Plinkora", "1.234");
    EXPECT_EQ(f.window.windowTitle(), "Plinkora v1.234");

    QAction songFolder("Song (*.pks) Directory");
    QAction midiFolder("Midi (*.mid) Directory");
    ApplyFolderEntries(songFolder, midiFolder, texts, "/home/u/PKSongs", "/home/u/Midi");
    EXPECT_EQ(songFolder.text(), "Song (*.pks) Verzeichnis  ->  /home/u/PKSongs");
    EXPECT_EQ(midiFolder.text(), "Midi (*.mid) Verzeichnis  ->  /home/u/Midi");

    QWidget patternEditor;
    Tagged(&patternEditor, 6);
    LoadLanguage({&patternEditor});
    EXPECT_EQ(patternEditor.windowTitle(), "Pattern Editor");
    ApplyPatternEditorCaption(&patternEditor, 3);
    EXPECT_EQ(patternEditor.windowTitle(), "Pattern Editor - PATTERN 3");
    ApplyPatternEditorCaption(nullptr, 3);
}

template <typename T> T* Named(QWidget* parent, const char* name) {
    auto* control = new T(parent);
    control->setObjectName(name);
    return control;
}

TEST(SetHints, GivesNamedControlsTheHintOfTheirWindow) {
    QWidget main;
    main.setObjectName("Form1");
    auto* strip = new QWidget(&main);
    auto* reset = Named<QPushButton>(strip, "Button3");
    auto* tempo = Named<QScrollBar>(strip, "ScrollBar2");
    auto* bank = Named<QSpinBox>(strip, "SpinEdit4");
    auto* stranger = Named<QPushButton>(strip, "Button99");

    QWidget track;
    track.setObjectName("Form5");
    auto* minus = Named<QPushButton>(&track, "Button3");
    auto* plus = Named<QPushButton>(&track, "Button4");
    auto* volume = Named<QWidget>(&track, "WheelBar20031");

    QWidget unknown;
    unknown.setObjectName("Form7");
    auto* unknownButton = Named<QPushButton>(&unknown, "Button3");

    // The pattern editor does not exist yet; its place in the list is empty.
    SetHints({&main, nullptr, &track, &unknown});

    EXPECT_EQ(reset->toolTip(), Q("Zur\xC3\xBC"
                                  "cksetzen des Midiger\xC3\xA4tes"));
    EXPECT_EQ(tempo->toolTip(), "Abspielgeschwindigkeit");
    EXPECT_EQ(bank->toolTip(),
              Q("Auswahlm\xC3\xB6glichkeit f\xC3\xBCr eine Midi Instrumentenbank"));
    EXPECT_EQ(stranger->toolTip(), "");
    EXPECT_EQ(minus->toolTip(), "Pattern Auswahl");
    EXPECT_EQ(plus->toolTip(), "Pattern Auswahl");
    EXPECT_EQ(volume->toolTip(), Q("Lautst\xC3\xA4rke"));
    EXPECT_EQ(unknownButton->toolTip(), "");
}

TEST(SetHints, PrefersTheWindowsOwnControlOverOneInAChildWindow) {
    QWidget main;
    main.setObjectName("Form1");
    // A tool window parented to the main window, created first, holding a control of the same
    // name.
    auto* patternEditor = new QWidget(&main, Qt::Tool);
    patternEditor->setObjectName("Form3");
    auto* shiftUp = Named<QToolButton>(patternEditor, "SpeedButton3");
    auto* strip = new QWidget(&main);
    auto* patMode = Named<QToolButton>(strip, "SpeedButton3");

    SetHints({&main, patternEditor});

    EXPECT_EQ(patMode->toolTip(), "Abspielmodus Pattern");
    EXPECT_EQ(shiftUp->toolTip(), "Verschiebt alle Regler nach oben");
}

TEST(SetHints, TableCoversTheThreeWindows) {
    std::map<std::string_view, int> perWindow;
    for (const THintEntry& entry : HintTable()) {
        ++perWindow[entry.Window];
        EXPECT_FALSE(entry.Hint.empty());
        EXPECT_EQ(std::count_if(HintTable().begin(), HintTable().end(),
                                [&](const THintEntry& other) {
                                    return other.Window == entry.Window &&
                                           other.Control == entry.Control;
                                }),
                  1)
            << entry.Window << "/" << entry.Control;
    }
    EXPECT_EQ(perWindow["Form1"], 12);
    EXPECT_EQ(perWindow["Form3"], 14);
    EXPECT_EQ(perWindow["Form5"], 9);
}

} // namespace
