#pragma once

#include "Language.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// The controller's settings file: the program path + ".ini" (installed:
// <config>/plinkora/PKControl.ini), six lines with CR LF, then "de" or "en" once the user chose a
// language (empty before), "JACK Transport On" or "... Off", "MIDI Clock On" or "... Off",
// "Ableton Link On" or "... Off" and "Follow MIDI Clock On" or "... Off" (Options >
// Synchronisation). The lines after the sixth are written up to the last one that differs from its
// default; older versions read only the first six or seven.
struct TControllerSettings {
    int SlotCount = 4; // configured slots, 0 to 4: bounds every broadcast
    int Left = 258;    // window position
    int Top = 442;
    QString ProjectDirectory; // no trailing '/' when chosen by the user
    int LayoutNumber = 2;     // 1 to 4
    QString MidiDirectory;
    std::optional<TLanguage> Language; // none: not chosen (German); an unknown code reads so
    bool FollowTransport = false;      // the machines started follow the JACK transport
    bool SendClock = false;            // the machines started send MIDI clock
    bool Link = false; // the machines started join the Link session, the tempo bar follows it
    bool FollowClock = false; // the machines started follow the MIDI clock they receive
};

inline constexpr int DefaultSlotCount = 4;
inline constexpr int DefaultLayoutNumber = 2;

// The settings a first start uses: both directories are documentHome + "PKProjects" (the
// working directory, or for an installed controller <music>/Plinkora/; it ends in '/').
TControllerSettings DefaultControllerSettings(const QString& documentHome);

// Room the machines take on the screen, from its left edge: two columns of a machine's docked
// windows (main window with the server window beside it, the editors below), frames included.
inline constexpr int MachinesWidth = 1160;

// Where the controller window goes at a first start (no settings file yet), with its frame of
// `frameSize`: beside the machines at the top of `screenArea` where the screen is wide enough,
// else in the screen's bottom-right corner, away from the first machines.
QPoint FirstStartPlace(const QRect& screenArea, const QSize& frameSize);

// The settings file name for a program file.
QString ControllerSettingsFile(const QString& programPath);

enum class TSettingsRead { Read, Missing };

// Reads the file into `settings`. Missing: `settings` is left as it is (the caller writes the
// file at once). One of the first six lines that is missing or no number throws TControlError
// naming the file and line, with `settings` untouched; the later lines may be missing (their
// defaults stay). A slot count outside 0 to 4 or a layout outside 1 to 4
// falls back to its default.
TSettingsRead ReadControllerSettings(const QString& path, TControllerSettings& settings);

// Writes the lines (six, and the later ones up to the last that is not its default) atomically;
// throws TControlError ("Cannot create file <path>").
void WriteControllerSettings(const QString& path, const TControllerSettings& settings);
