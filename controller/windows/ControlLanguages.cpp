#include "ControlLanguages.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QWidget>
#include <cstring>

namespace {

constexpr TControlText WindowTextTable[] = {
    {"File1", {"Datei", "File"}, {}},
    {"NewProject1", {"Neues Projekt", "New Project"}, {}},
    {"New1Machine", {"1 Maschine", "1 Machine"}, {}},
    {"New2Machine", {"2 Maschinen", "2 Machines"}, {}},
    {"New3Machine", {"3 Maschinen", "3 Machines"}, {}},
    {"New4Machine", {"4 Maschinen", "4 Machines"}, {}},
    {"LoadProject", {"Projekt Öffnen", "Open Project"}, {}},
    {"SaveProjectAs1", {"Projekt Speichern unter", "Save Project As"}, {}},
    {"SaveProject1", {"Projekt Speichern", "Save Project"}, {}},
    {"ExportMidi", {"Exportiere Midi", "Export MIDI"}, {}},
    {"ExportAudio", {"Exportiere Audio...", "Export Audio..."}, {}},
    {"Exit1", {"Beenden", "Exit"}, {}},
    {"Playback1", {"Wiedergabe", "Playback"}, {}},
    {"PlayPatternAll", {"Pattern spielen/stoppen", "Play/Stop Pattern"}, {}},
    {"PlaySongAll", {"Song spielen/stoppen", "Play/Stop Song"}, {}},
    {"StopAll", {"Alle stoppen", "Stop All"}, {}},
    {"Options1", {"Optionen", "Options"}, {}},
    {"Directorys1", {"Verzeichnisse", "Directories"}, {}},
    {"LanguageMenu", {"Sprache", "Language"}, {}},
    {"SyncMenu", {"Synchronisation", "Synchronisation"}, {}},
    {"SyncTransport", {"JACK-Transport", "JACK transport"}, {}},
    {"SyncClock", {"MIDI-Clock senden", "Send MIDI clock"}, {}},
    {"SyncLink", {"Ableton Link", "Ableton Link"}, {}},
    {"SyncFollowClock", {"MIDI-Clock folgen", "Follow MIDI clock"}, {}},
    {"Skin1", {"Hintergrund", "Skin"}, {}},
    {"Help1", {"Hilfe", "Help"}, {}},
    {"HelpPlinkora1", {"Hilfe - Plinkora", "Help - Plinkora"}, {}},
    {"HelpControl1", {"Hilfe - Plinkora Control", "Help - Plinkora Control"}, {}},
    {"AboutText",
     {"Bis zu vier Plinkora Maschinen als ein Projekt",
      "Up to four Plinkora machines as one project"},
     {}},
    {"AboutLicence", {"Lizenz: GPL-3.0-or-later", "Licence: GPL-3.0-or-later"}, {}},
    {"AboutWarranty", {"Ohne jede Gewährleistung", "Without any warranty"}, {}},
    {"SpeedButton11",
     {"Kopieren", "Copy"},
     {"Kopiert den aktuellen Pattern aller ausgewählten Maschinen",
      "Copies the current pattern of all selected machines"}},
    {"SpeedButton13", {}, {"Wiedergabe Track - Alle Maschinen", "Play Song - All Machines"}},
    {"SpeedButton14", {}, {"Wiedergabe Pattern - Alle Maschinen", "Play Pattern - All Machines"}},
    {"SpeedButton15", {}, {"STOP - Alle Maschinen", "STOP - All Machines"}},
    {"Button4", {}, {"Midigeräte zurücksetzen", "Reset all MIDI devices"}},
    {"ScrollBar2", {}, {"Abspielgeschwindigkeit", "Playback speed"}},
    {"NextSpeedButton",
     {},
     {"Springt zum nächsten Pattern im Song", "Jumps to the next pattern in the song"}},
    {"PrevSpeedButton",
     {},
     {"Springt zum vorherigen Pattern im Song", "Jumps to the previous pattern in the song"}},
    {"SpeedButton9",
     {},
     {"Verschiebt alle Regler der ausgewählten Maschinen nach oben",
      "Moves all sliders of the selected machines up"}},
    {"SpeedButton10",
     {},
     {"Verschiebt alle Regler der ausgewählten Maschinen nach unten",
      "Moves all sliders of the selected machines down"}},
};

constexpr TControlText FrameHintTable[] = {
    {"WheelBar1", {}, {"Lautstärke - Maschine ", "Volume - Machine "}},
    {"SpeedButton2", {}, {"STOP - Maschine ", "STOP - Machine "}},
    {"SpeedButton10", {}, {"Stummschalten - Maschine ", "Mute - Machine "}},
    {"SpeedButton1", {}, {"Wiedergabe Pattern - Maschine ", "Play Pattern - Machine "}},
};

constexpr TControlName WindowNameTable[] = {
    {"SpeedButton15", {"STOP - Alle Maschinen", "STOP - All Machines"}},
    {"ScrollBar2", {"Tempo", "Tempo"}},
    {"PrevSpeedButton", {"Vorheriger Pattern", "Previous pattern"}},
    {"NextSpeedButton", {"Nächster Pattern", "Next pattern"}},
    {"SpeedButton9",
     {"Regler der ausgewählten Maschinen nach oben", "Sliders of the selected machines up"}},
    {"SpeedButton10",
     {"Regler der ausgewählten Maschinen nach unten", "Sliders of the selected machines down"}},
    {"Memo1", {"Protokoll", "Log"}},
};

constexpr TControlName FrameNameTable[] = {
    {"WheelBar1", {"Lautstärke - Maschine ", "Volume - Machine "}},
    {"SpeedButton10", {"Stummschalten - Maschine ", "Mute - Machine "}},
    {"SpeedButton1", {"Wiedergabe Pattern - Maschine ", "Play Pattern - Machine "}},
    {"SpeedButton2", {"STOP - Maschine ", "STOP - Machine "}},
};

// The name of a slot's selection box, ending in the machine number.
constexpr TBothLanguages SelectionName{"Auswahl - Maschine ", "Selection - Machine "};

// The hints of the start and stop buttons, ending in the machine number.
constexpr TBothLanguages StartHint{"Starten - Maschine ", "Start - Machine "};
constexpr TBothLanguages StopHint{"Herunterfahren - Maschine ", "Shut Down - Machine "};

void SetCaption(QObject* control, const QString& caption) {
    if (auto* action = qobject_cast<QAction*>(control))
        action->setText(caption);
    else if (auto* menu = qobject_cast<QMenu*>(control))
        menu->setTitle(caption);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(caption);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(caption);
}

void SetHint(QObject* control, const QString& hint) {
    if (auto* action = qobject_cast<QAction*>(control))
        action->setToolTip(hint);
    else if (auto* widget = qobject_cast<QWidget*>(control))
        widget->setToolTip(hint);
}

void SetName(QObject* control, const QString& name) {
    auto* widget = qobject_cast<QWidget*>(control);
    if (!widget)
        return;
    widget->setAccessibleName(name);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
        area->verticalScrollBar()->setAccessibleName(name);
        area->horizontalScrollBar()->setAccessibleName(name);
    }
}

void Apply(QObject* control, const TControlText& text, TLanguage language,
           const QString& hintEnd = {}) {
    if (!control)
        return;
    if (const char* caption = text.Caption.In(language))
        SetCaption(control, QString::fromUtf8(caption));
    if (const char* hint = text.Hint.In(language))
        SetHint(control, QString::fromUtf8(hint) + hintEnd);
}

QObject* WindowControl(QWidget& window, QWidget& panel, const char* name) {
    if (auto* control = panel.findChild<QObject*>(name, Qt::FindDirectChildrenOnly))
        return control;
    if (auto* action = window.findChild<QAction*>(name))
        return action;
    if (auto* menu = window.findChild<QMenu*>(name))
        return menu;
    return window.findChild<QLabel*>(name);
}

void ApplySlotTexts(QWidget& panel, int slot, TLanguage language) {
    const QString n = QString::number(slot);
    const auto button = [&](int number) {
        return panel.findChild<QObject*>("SpeedButton" + QString::number(number),
                                         Qt::FindDirectChildrenOnly);
    };
    SetCaption(button(slot), "PK " + n);
    SetHint(button(slot), QString::fromUtf8(StartHint.In(language)) + n);
    SetCaption(button(slot + 4), "PK " + n);
    SetHint(button(slot + 4), QString::fromUtf8(StopHint.In(language)) + n);
    SetName(panel.findChild<QObject*>("CheckBox" + n, Qt::FindDirectChildrenOnly),
            QString::fromUtf8(SelectionName.In(language)) + n);
    if (QWidget* frame = panel.findChild<QWidget*>("TrackControl" + n)) {
        for (const TControlText& text : FrameHintTable)
            Apply(frame->findChild<QObject*>(text.Name), text, language, n);
        for (const TControlName& name : FrameNameTable)
            SetName(frame->findChild<QObject*>(name.Name),
                    QString::fromUtf8(name.Spoken.In(language)) + n);
    }
}

} // namespace

const TControlTexts& ControlTexts(TLanguage language) {
    static const TControlTexts german{
        "Plinkora Control",
        "Wollen Sie das aktuelle Projekt speichern?",
        "Soll die existierende Datei überschrieben werden?",
        "Wählen Sie ein Verzeichnis für Ihre Projekte",
        "Wählen Sie ein Verzeichnis für Ihre Midi Dateien",
        "Midi (*.mid) Verzeichnis",
        "Projekt (*.pkp) Verzeichnis",
        "Die Audiodatei wird berechnet...",
        "Abbrechen",
    };
    static const TControlTexts english{
        "Plinkora Control",
        "Do you want to save the current project?",
        "Overwrite the existing file?",
        "Choose a directory for your projects",
        "Choose a directory for your MIDI files",
        "MIDI (*.mid) Directory",
        "Project (*.pkp) Directory",
        "Rendering the sound file...",
        "Cancel",
    };
    return language == TLanguage::English ? english : german;
}

std::span<const TControlText> WindowTexts() {
    return WindowTextTable;
}

std::span<const TControlText> FrameHints() {
    return FrameHintTable;
}

std::span<const TControlName> WindowNames() {
    return WindowNameTable;
}

std::span<const TControlName> FrameNames() {
    return FrameNameTable;
}

QString ControlCaption(const char* name, TLanguage language) {
    for (const TControlText& text : WindowTextTable)
        if (std::strcmp(text.Name, name) == 0)
            return QString::fromUtf8(text.Caption.In(language));
    return {};
}

void ApplyControlLanguage(QWidget& window, QWidget& panel, TLanguage language) {
    for (const TControlText& text : WindowTextTable)
        Apply(WindowControl(window, panel, text.Name), text, language);
    for (const TControlName& name : WindowNameTable)
        SetName(WindowControl(window, panel, name.Name),
                QString::fromUtf8(name.Spoken.In(language)));
    for (int slot = 1; slot <= 4; ++slot)
        ApplySlotTexts(panel, slot, language);
}
