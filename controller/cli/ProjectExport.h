#pragma once

#include "Language.h"

#include <QString>
#include <QStringList>

// How long each phase of a project export took, in milliseconds.
struct TExportTimes {
    qint64 Prepare = 0; // slot program files made
    qint64 Start = 0;   // machines started and linked
    qint64 Load = 0;    // songs loaded and volumes set
    qint64 Export = 0;  // machines' MIDI files written and joined
    qint64 End = 0;     // machines ended
};

struct TExportResult {
    bool Ok = false;
    QString Error;
    TExportTimes Times;
};

// Exports a whole project as one format 1 MIDI file without windows: in a private temporary
// working directory it prepares the slot programs (from the Plinkora beside `programDirectory`,
// which ends in '/'), starts the project's machines without windows ("--serve"), opens the
// project in them as the controller does, has them write their MIDI files, joins those into
// `output`, ends the machines and removes everything it made. On failure `output` is untouched.
// The machines speak `language`.
TExportResult ExportProjectMidi(const QString& projectFile, const QString& output,
                                const QString& programDirectory,
                                TLanguage language = DefaultLanguage);
