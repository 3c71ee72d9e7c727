#include "ControlLanguages.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QWidget>

namespace {

struct TControlText {
    const char* Name;
    const char* Caption; // nullptr: the caption stays
    const char* Hint;    // nullptr: the hint stays
};

constexpr TControlText WindowTexts[] = {
    {"File1", "Datei", nullptr},
    {"NewProject1", "Neues Projekt", nullptr},
    {"New1Machine", "1 Maschine", nullptr},
    {"New2Machine", "2 Maschinen", nullptr},
    {"New3Machine", "3 Maschinen", nullptr},
    {"New4Machine", "4 Maschinen", nullptr},
    {"LoadProject", "Projekt Öffnen", nullptr},
    {"SaveProjectAs1", "Projekt Speichern unter", nullptr},
    {"SaveProject1", "Projekt Speichern", nullptr},
    {"ExportMidi", "Exportiere Midi", nullptr},
    {"ExportAudio", "Exportiere Audio...", nullptr},
    {"Exit1", "Beenden", nullptr},
    {"Options1", "Optionen", nullptr},
    {"Directorys1", "Verzeichnisse", nullptr},
    {"Skin1", "Hintergrund", nullptr},
    {"Help1", "Hilfe", nullptr},
    {"HelpPlinkora1", "Hilfe - Plinkora", nullptr},
    {"HelpControl1", "Hilfe - Plinkora Control", nullptr},
    {"SpeedButton11", "Kopieren", "Kopiert den aktuellen Pattern aller ausgewählten Maschinen"},
    {"SpeedButton13", nullptr, "Wiedergabe Track - Alle Maschinen"},
    {"SpeedButton14", nullptr, "Wiedergabe Pattern - Alle Maschinen"},
    {"SpeedButton15", nullptr, "STOP - Alle Maschinen"},
    {"Button4", nullptr, "Midigeräte zurücksetzen"},
    {"ScrollBar2", nullptr, "Abspielgeschwindigkeit"},
    {"NextSpeedButton", nullptr, "Springt zum nächsten Pattern im Song"},
    {"PrevSpeedButton", nullptr, "Springt zum vorherigen Pattern im Song"},
    {"SpeedButton9", nullptr, "Verschiebt alle Regler der ausgewählten Maschinen nach oben"},
    {"SpeedButton10", nullptr, "Verschiebt alle Regler der ausgewählten Maschinen nach unten"},
};

// The same control in each slot's frame, its hint ending in the machine number.
constexpr TControlText FrameHints[] = {
    {"WheelBar1", nullptr, "Lautstärke - Maschine "},
    {"SpeedButton2", nullptr, "STOP - Maschine "},
    {"SpeedButton10", nullptr, "Stummschalten - Maschine "},
    {"SpeedButton1", nullptr, "Wiedergabe Pattern - Maschine "},
};

void SetCaption(QObject* control, const QString& caption) {
    if (auto* action = qobject_cast<QAction*>(control))
        action->setText(caption);
    else if (auto* menu = qobject_cast<QMenu*>(control))
        menu->setTitle(caption);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(caption);
}

void SetHint(QObject* control, const QString& hint) {
    if (auto* action = qobject_cast<QAction*>(control))
        action->setToolTip(hint);
    else if (auto* widget = qobject_cast<QWidget*>(control))
        widget->setToolTip(hint);
}

void Apply(QObject* control, const TControlText& text, const QString& hintEnd = {}) {
    if (!control)
        return;
    if (text.Caption)
        SetCaption(control, QString::fromUtf8(text.Caption));
    if (text.Hint)
        SetHint(control, QString::fromUtf8(text.Hint) + hintEnd);
}

} // namespace

void ApplyControlLanguage(QWidget& window, QWidget& panel) {
    for (const TControlText& text : WindowTexts) {
        QObject* control = panel.findChild<QObject*>(text.Name, Qt::FindDirectChildrenOnly);
        if (!control)
            control = window.findChild<QAction*>(text.Name);
        if (!control)
            control = window.findChild<QMenu*>(text.Name);
        Apply(control, text);
    }
    for (int slot = 1; slot <= 4; ++slot) {
        const QString n = QString::number(slot);
        const auto button = [&](int number) {
            return panel.findChild<QObject*>("SpeedButton" + QString::number(number),
                                             Qt::FindDirectChildrenOnly);
        };
        SetCaption(button(slot), "PK " + n);
        SetHint(button(slot), "Starten - Maschine " + n);
        SetCaption(button(slot + 4), "PK " + n);
        SetHint(button(slot + 4), "Herunterfahren - Maschine " + n);
        QWidget* frame = panel.findChild<QWidget*>("TrackControl" + n);
        if (!frame)
            continue;
        for (const TControlText& text : FrameHints)
            Apply(frame->findChild<QObject*>(text.Name), text, n);
    }
}
