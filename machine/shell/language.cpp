#include "language.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QWidget>

namespace {

constexpr THintEntry HintTexts[] = {
    // Pattern editor.
    {"Form3", "Button1", "Neuen Pattern erzeugen", "Create a new pattern"},
    {"Form3", "Button2", "Dupliziert den aktuellen Pattern", "Duplicate the current pattern"},
    {"Form3", "Button3", "Setzt alle Töne auf eine Tonhöhe", "Set all notes to one pitch"},
    {"Form3", "Button10", "Erzeugt Zufallstöne", "Create random notes"},
    {"Form3", "SpeedButton3", "Verschiebt alle Regler nach oben", "Move all sliders up"},
    {"Form3", "SpeedButton4", "Verschiebt alle Regler nach unten", "Move all sliders down"},
    {"Form3", "SpeedButton2", "Verschiebt Pattern nach rechts", "Move the pattern to the right"},
    {"Form3", "SpeedButton1", "Verschiebt Pattern nach links", "Move the pattern to the left"},
    {"Form3", "SpeedButton14", "Wiedergabe Pattern", "Play the pattern"},
    {"Form3", "SpeedButton15", "Wiedergabe Stop", "Stop playback"},
    {"Form3", "CheckBox2", "Tonartraster Ein/Aus", "Key grid on/off"},
    {"Form3", "CheckBox1", "Anzeige folgt der Wiedergabe", "The display follows the playback"},
    {"Form3", "Edit2", "Eingabefeld für eine Textbeschreibung",
     "A text description of the pattern"},
    {"Form3", "SpinEdit1", "Nummer des angezeigten Patterns", "Number of the pattern shown"},
    // Track editor.
    {"Form5", "Button1", "Fügt dem Track einen Pattern hinzu", "Add a pattern to the track"},
    {"Form5", "Button4", "Pattern Auswahl", "Choose the pattern"},
    {"Form5", "Button3", "Pattern Auswahl", "Choose the pattern"},
    {"Form5", "Button2", "Entfernt den markierten Pattern aus dem Track",
     "Remove the marked pattern from the track"},
    {"Form5", "SpeedButton1", "Stumm schalten", "Mute"},
    {"Form5", "SpeedButton14", "Wiedergabe Track", "Play the track"},
    {"Form5", "SpeedButton15", "Wiedergabe Stop", "Stop playback"},
    {"Form5", "WheelBar20031", "Lautstärke", "Volume"},
    {"Form5", "CheckBox1", "Trackanzeige folgt der Wiedergabe",
     "The track display follows the playback"},
    // Main window.
    {"Form1", "Button3", "Zurücksetzen des Midigerätes", "Reset the MIDI device"},
    {"Form1", "SpeedButton1", "Wiedergabe starten", "Start playback"},
    {"Form1", "SpeedButton2", "Wiedergabe Stop", "Stop playback"},
    {"Form1", "SpeedButton3", "Abspielmodus Pattern", "Play mode pattern"},
    {"Form1", "SpeedButton4", "Abspielmodus Track", "Play mode track"},
    {"Form1", "SpeedButton5", "Instrumentenliste", "Instrument list"},
    {"Form1", "ScrollBar2", "Abspielgeschwindigkeit", "Playback speed"},
    {"Form1", "ComboBox1", "Auswahl des Abspielgerätes", "Choose the output device"},
    {"Form1", "SpinEdit1", "Instrument Wahlschalter", "Choose the instrument"},
    {"Form1", "SpinEdit2", "Ändert den Basiston aller Pattern",
     "Change the base note of all patterns"},
    {"Form1", "SpinEdit3", "Midi Ausgabekanal (10 = Schlagzeug)",
     "MIDI output channel (10 = drums)"},
    {"Form1", "SpinEdit4", "Auswahlmöglichkeit für eine Midi Instrumentenbank",
     "Choose a MIDI instrument bank"},
};

constexpr TAccessibleNameEntry AccessibleNameTexts[] = {
    // Main window.
    {"Form1", "SpeedButton1", "Wiedergabe starten", "Start playback"},
    {"Form1", "SpeedButton2", "Wiedergabe stoppen", "Stop playback"},
    {"Form1", "SpeedButton3", "Abspielmodus Pattern", "Play mode pattern"},
    {"Form1", "SpeedButton4", "Abspielmodus Track", "Play mode track"},
    {"Form1", "ScrollBar2", "Tempo", "Tempo"},
    {"Form1", "ComboBox1", "Gerät", "Device"},
    {"Form1", "SpinEdit3", "Kanal", "Channel"},
    {"Form1", "SpinEdit2", "Transponierung", "Transposition"},
    {"Form1", "Edit1", "Instrumentname", "Instrument name"},
    {"Form1", "SpeedButton5", "Instrumentenliste", "Instrument list"},
    {"Form1", "SpinEdit1", "Instrument", "Instrument"},
    {"Form1", "SpinEdit4", "Bank", "Bank"},
    // Pattern editor.
    {"Form3", "ScrBar*", "Schritt ", "Step "},
    {"Form3", "ScrollBar1", "Tonhöhe für Reset", "Pitch for Reset"},
    {"Form3", "CheckBox1", "Anzeige folgt der Wiedergabe", "Display follows playback"},
    {"Form3", "Edit1", "Note", "Note"},
    {"Form3", "SpinEdit1", "Patternnummer", "Pattern number"},
    {"Form3", "Edit2", "Patternname", "Pattern name"},
    {"Form3", "SpeedButton3", "Alle Regler nach oben", "All sliders up"},
    {"Form3", "SpeedButton4", "Alle Regler nach unten", "All sliders down"},
    {"Form3", "SpeedButton1", "Pattern nach links", "Pattern to the left"},
    {"Form3", "SpeedButton2", "Pattern nach rechts", "Pattern to the right"},
    {"Form3", "ComboBox1", "Grundton", "Key note"},
    {"Form3", "ComboBox2", "Tongeschlecht", "Mode"},
    {"Form3", "SpeedButton14", "Wiedergabe Pattern", "Play the pattern"},
    {"Form3", "SpeedButton15", "Wiedergabe stoppen", "Stop playback"},
    // Track editor.
    {"Form5", "Edit1", "Songname", "Song name"},
    {"Form5", "StringGrid1", "Songzeilen", "Song lines"},
    {"Form5", "WheelBar20032", "Songzeilen blättern", "Scroll the song lines"},
    {"Form5", "Button3", "Vorheriger Pattern", "Previous pattern"},
    {"Form5", "Button4", "Nächster Pattern", "Next pattern"},
    {"Form5", "WheelBar20031", "Lautstärke", "Volume"},
    {"Form5", "Edit2", "Lautstärke", "Volume"},
    {"Form5", "SpeedButton1", "Stumm schalten", "Mute"},
    {"Form5", "SpeedButton14", "Wiedergabe Track", "Play the track"},
    {"Form5", "SpeedButton15", "Wiedergabe stoppen", "Stop playback"},
    // MIDI debugger, song properties.
    {"Form6", "Memo1", "MIDI-Protokoll", "MIDI log"},
    {"Form8", "SpinEdit1", "Faktor", "Factor"},
};

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int TagOf(const QObject& object) {
    return object.property("Tag").toInt();
}

QString TaggedText(TLanguageTable table, int tag) {
    return QString::fromStdString(TextByNumber(table, tag));
}

void ApplyToControl(QWidget& control, const QString& text) {
    if (auto* dialog = qobject_cast<QFileDialog*>(&control))
        dialog->setWindowTitle(text);
    else if (auto* label = qobject_cast<QLabel*>(&control))
        label->setText(text);
    else if (auto* button = qobject_cast<QPushButton*>(&control))
        button->setText(text);
    else if (auto* checkBox = qobject_cast<QCheckBox*>(&control))
        checkBox->setText(text);
    else if (auto* panel = qobject_cast<QGroupBox*>(&control))
        panel->setTitle(text);
    else if (auto* menu = qobject_cast<QMenu*>(&control))
        menu->setTitle(text);
}

// Menu items are the window's descendant actions plus those only attached to its widgets (an
// action created without a parent and added to a menu).
QSet<QAction*> ActionsOf(QWidget& window) {
    QSet<QAction*> actions;
    for (QAction* action : window.findChildren<QAction*>())
        actions.insert(action);
    for (QAction* action : window.actions())
        actions.insert(action);
    for (QWidget* widget : window.findChildren<QWidget*>())
        for (QAction* action : widget->actions())
            actions.insert(action);
    return actions;
}

// The window's own control of that name; a window parented to another window (a tool window
// parented to the main window) may hold a control of the same name, which loses to the owner's.
QObject* FindControl(QWidget& window, const QString& name) {
    const QList<QObject*> matches = window.findChildren<QObject*>(name);
    for (QObject* match : matches) {
        auto* widget = qobject_cast<QWidget*>(match);
        if (widget && widget->window() == &window)
            return match;
    }
    return matches.isEmpty() ? nullptr : matches.first();
}

void SetHint(QObject& control, const QString& hint) {
    if (auto* widget = qobject_cast<QWidget*>(&control))
        widget->setToolTip(hint);
    else if (auto* action = qobject_cast<QAction*>(&control))
        action->setToolTip(hint);
}

} // namespace

std::span<const THintEntry> HintTable() {
    return HintTexts;
}

std::span<const TAccessibleNameEntry> AccessibleNameTable() {
    return AccessibleNameTexts;
}

std::string_view HintText(const THintEntry& entry, TLanguage language) {
    return language == TLanguage::English ? entry.EnglishHint : entry.Hint;
}

TLanguageTexts LoadLanguage(const std::vector<QWidget*>& windows, TLanguageTable table) {
    TLanguageTexts texts = LoadMessageTexts(table);
    for (QWidget* window : windows)
        if (window)
            ApplyTaggedTexts(*window, table);
    return texts;
}

void ApplyTaggedTexts(QWidget& window, TLanguageTable table) {
    window.setWindowTitle(TaggedText(table, TagOf(window)));
    for (QWidget* control : window.findChildren<QWidget*>())
        if (const int tag = TagOf(*control); tag != 0)
            ApplyToControl(*control, TaggedText(table, tag));
    for (QAction* item : ActionsOf(window))
        if (const int tag = TagOf(*item); tag != 0)
            item->setText(TaggedText(table, tag));
}

void ApplyMainWindowCaption(QWidget& mainWindow, std::string_view title,
                            std::string_view versionText) {
    mainWindow.setWindowTitle(ToQString(title) + " v" + ToQString(versionText));
}

void ApplyFolderEntries(QAction& songFolderEntry, QAction& midiFolderEntry,
                        const TLanguageTexts& texts, std::string_view songFolder,
                        std::string_view midiFolder) {
    songFolderEntry.setText(
        QString::fromStdString(FolderEntryCaption(texts.SongFolderLabel, songFolder)));
    midiFolderEntry.setText(
        QString::fromStdString(FolderEntryCaption(texts.MidiFolderLabel, midiFolder)));
}

void ApplyPatternEditorCaption(QWidget* patternEditor, int currentPattern) {
    if (patternEditor)
        patternEditor->setWindowTitle(QString::fromStdString(PatternEditorCaption(currentPattern)));
}

void SetHints(const std::vector<QWidget*>& windows) {
    for (QWidget* window : windows) {
        if (!window)
            continue;
        for (const THintEntry& entry : HintTexts) {
            if (window->objectName() != ToQString(entry.Window))
                continue;
            if (QObject* control = FindControl(*window, ToQString(entry.Control)))
                SetHint(*control, ToQString(HintText(entry, CurrentLanguage())));
        }
    }
}

namespace {

// The controls an entry names, each with its name: one control, or a numbered family.
std::vector<std::pair<QWidget*, QString>> NamedControls(QWidget& window,
                                                        const TAccessibleNameEntry& entry) {
    const QString name =
        ToQString(CurrentLanguage() == TLanguage::English ? entry.English : entry.German);
    const QString control = ToQString(entry.Control);
    if (!control.endsWith('*')) {
        auto* widget = qobject_cast<QWidget*>(FindControl(window, control));
        return widget ? std::vector<std::pair<QWidget*, QString>>{{widget, name}}
                      : std::vector<std::pair<QWidget*, QString>>{};
    }
    const QString family = control.chopped(1);
    std::vector<std::pair<QWidget*, QString>> named;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        bool numbered = false;
        const int number = widget->objectName().startsWith(family)
                               ? widget->objectName().mid(family.size()).toInt(&numbered)
                               : 0;
        if (numbered && widget->window() == &window)
            named.emplace_back(widget, name + QString::number(number));
    }
    return named;
}

} // namespace

void SetAccessibleNames(const std::vector<QWidget*>& windows) {
    for (QWidget* window : windows) {
        if (!window)
            continue;
        for (const TAccessibleNameEntry& entry : AccessibleNameTexts)
            if (window->objectName() == ToQString(entry.Window))
                for (const auto& [control, name] : NamedControls(*window, entry)) {
                    control->setAccessibleName(name);
                    if (auto* list = qobject_cast<QComboBox*>(control))
                        list->view()->setAccessibleName(name); // its drop-down list
                }
    }
}
