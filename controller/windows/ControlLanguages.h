#pragma once

#include "Language.h"

#include <QString>
#include <QStringList>
#include <span>

class QWidget;

// The controller window's texts in German and English: the window is built with English design
// captions, and these replace them (captions, menu items, hints) wherever the table has a text.

// The texts the window uses when it asks or tells something.
struct TControlTexts {
    QString Title;
    QString SaveQuestion;
    QString OverwriteQuestion;
    QString ProjectFolderPrompt;
    QString MidiFolderPrompt;
    QString MidiFolderItem;
    QString ProjectFolderItem;
    QString RenderingText;
    QString CancelText;

    QStringList All() const {
        return {Title,
                SaveQuestion,
                OverwriteQuestion,
                ProjectFolderPrompt,
                MidiFolderPrompt,
                MidiFolderItem,
                ProjectFolderItem,
                RenderingText,
                CancelText};
    }
};

const TControlTexts& ControlTexts(TLanguage language);

// A text in both languages; both nullptr: the control keeps what it shows.
struct TBothLanguages {
    const char* German;
    const char* English;
    const char* In(TLanguage language) const {
        return language == TLanguage::English ? English : German;
    }
};

// A control found by its object name, with its caption and hint.
struct TControlText {
    const char* Name;
    TBothLanguages Caption;
    TBothLanguages Hint;
};

// The name a screen reader says for a control whose caption is a symbol or nothing.
struct TControlName {
    const char* Name;
    TBothLanguages Spoken;
};

// The window's controls (on the panel, its actions and menus, the about box) and the controls
// of each slot's frame, whose hints end in the machine number; the same for the names, where
// the frame's and the slot's selection box's end in the machine number.
std::span<const TControlText> WindowTexts();
std::span<const TControlText> FrameHints();
std::span<const TControlName> WindowNames();
std::span<const TControlName> FrameNames();

// The caption WindowTexts() gives the control `name` in `language`; empty when it gives none.
QString ControlCaption(const char* name, TLanguage language);

// Replaces the captions, hints and accessible names of the controller window's controls, found
// by their object names: the controls on `panel` (its direct children), the window's actions,
// menus and labels; the track control frames "TrackControl1" to "TrackControl4" get their slot's
// hints and names. A named scroll area's scroll bars take its name.
void ApplyControlLanguage(QWidget& window, QWidget& panel, TLanguage language);
