#pragma once

// The machine's texts in the current language (German unless English was chosen). Windows are
// designed with English captions; a control that is to be translated carries its text number in the
// dynamic property "Tag" (int). At start-up the loader replaces those captions with the texts of
// the table below and keeps the message texts the code needs later.
//
// The table itself and the message texts are plain C++ (session/MachineTexts.h); this unit
// applies them to the windows.
//
// Start-up order for the integrator, once every window up to the statistics window exists:
//   1, 2. texts = LoadLanguage(windows in creation order)   (message texts, tagged captions)
//         session.UseTexts(texts)           (the new-song name, the device-busy text)
//   3.    ApplyMainWindowCaption(main window, application title, version text)
//   4.    ApplyFolderEntries(song folder item, MIDI folder item, texts, song folder, MIDI folder)
//   5.    ApplyPatternEditorCaption(pattern editor, current pattern)
// and at the very end of start-up (the Ini form): SetHints(windows).

#include "session/MachineTexts.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// One control hint: window and control object names, the German and the English hint.
struct THintEntry {
    std::string_view Window;
    std::string_view Control;
    std::string_view Hint;
    std::string_view EnglishHint;
};

// Every control hint of the machine's windows: main window "Form1", pattern editor "Form3",
// track editor "Form5".
std::span<const THintEntry> HintTable();
std::string_view HintText(const THintEntry& entry, TLanguage language);

// The name a screen reader says for a control whose caption says too little (a symbol, a number
// box beside a short label, a slider): window and control object names, the German and the
// English name. A control name ending in "*" stands for the numbered controls of that name
// ("ScrBar*": ScrBar1, ScrBar2, ...), whose names end in their number.
struct TAccessibleNameEntry {
    std::string_view Window;
    std::string_view Control;
    std::string_view German;
    std::string_view English;
};

std::span<const TAccessibleNameEntry> AccessibleNameTable();

// ---- Appliers (Qt) ----

class QAction;
class QWidget;

// Steps 1 and 2 of loading. Returns the message texts; then, for each window in the order given
// (null entries are skipped): the window title := the text of its Tag (no Tag or Tag 0 gives an
// empty title), and every descendant with a non-zero Tag gets its text:
//   QLabel (also a framed label acting as a captioned panel), QPushButton, QCheckBox: text;
//   QGroupBox (a panel with a visible caption): title; QMenu: title; QAction (menu items, and a
//   submenu's menuAction): text; QFileDialog: window title.
// Tool buttons, radio buttons, plain frames and every other kind keep their caption. A Tag
// without an entry in the table gives the empty text. Descendants include the controls of windows
// parented to this one (their own caption is set when they come in the list themselves); dialogs
// must be children of their window to be found.
TLanguageTexts LoadLanguage(const std::vector<QWidget*>& windows,
                            TLanguageTable table = LanguageTable(CurrentLanguage()));

// Step 2 for one window.
void ApplyTaggedTexts(QWidget& window, TLanguageTable table = LanguageTable(CurrentLanguage()));

// Step 3: title + " v" + version text.
void ApplyMainWindowCaption(QWidget& mainWindow, std::string_view title,
                            std::string_view versionText);

// Step 4: the Options menu's folder entries show label, "  ->  " and the folder.
void ApplyFolderEntries(QAction& songFolderEntry, QAction& midiFolderEntry,
                        const TLanguageTexts& texts, std::string_view songFolder,
                        std::string_view midiFolder);

// Step 5: the pattern editor (when it exists) shows the current pattern in its caption.
void ApplyPatternEditorCaption(QWidget* patternEditor, int currentPattern);

// Gives every control of HintTable() that exists its hint (tool tip) in the current language. Each
// window is matched by its object name, each control by object name among the window's descendants
// (a QWidget or a QAction); windows and controls that do not exist are skipped.
void SetHints(const std::vector<QWidget*>& windows);

// Gives every control of AccessibleNameTable() that exists its accessible name in the current
// language, matched as SetHints matches.
void SetAccessibleNames(const std::vector<QWidget*>& windows);
