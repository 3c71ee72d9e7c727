#pragma once

#include <QString>

class QWidget;

// The controller's German texts: the window is built with English captions, and at start-up
// these replace them (captions, menu items, hints) wherever the table has a text.
struct TControlTexts {
    QString Title = "Plinkora Control";
    QString SaveQuestion = "Wollen Sie das aktuelle Projekt speichern?";
    QString OverwriteQuestion = "Soll die existierende Datei überschrieben werden?";
    QString ProjectFolderPrompt = "Wählen Sie ein Verzeichnis für Ihre Projekte";
    QString MidiFolderPrompt = "Wählen Sie ein Verzeichnis für Ihre Midi Dateien";
    QString MidiFolderItem = "Midi (*.mid) Verzeichnis";
    QString ProjectFolderItem = "Projekt (*.pkp) Verzeichnis";
    QString HelpPage = "Plinkora Control Anleitung.html";
    QString RenderingText = "Die Audiodatei wird berechnet...";
    QString CancelText = "Abbrechen";
};

// Replaces the captions and hints of the controller window's controls, found by their object
// names: the controls on `panel` (its direct children), the window's actions and menus; the
// track control frames "TrackControl1" to "TrackControl4" get their slot's hints.
void ApplyControlLanguage(QWidget& window, QWidget& panel);
