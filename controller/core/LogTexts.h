#pragma once

#include "Language.h"
#include "UserMessage.h"

#include <QString>
#include <QStringList>

// The core's log lines that read differently in each language. Everything else it logs or
// sends is the same in both: command words, link lines, the machines' replies.
struct TLogTexts {
    QString MachineEnded;      // "%1": the slot
    QString LastLinkFailed;    // the fourth slot's link did not open
    QString MidiExportMissing; // followed by the missing files
    QString MidiExportFailed;  // followed by the reason
    QString Sent;              // after a word sent to every running machine
    QString MissingSongs;      // "%1": the project's missing song files
    QString Prepared;          // "%1": the slot count
    QString PreparingFailed;   // "%1": the slot's digit
    QString ProgramMissing;    // "%1", "%2": the two folders looked in

    QStringList All() const {
        return {MachineEnded, LastLinkFailed, MidiExportMissing, MidiExportFailed, Sent,
                MissingSongs, Prepared,       PreparingFailed,   ProgramMissing};
    }
};

const TLogTexts& LogTexts(TLanguage language);

// A fault of the audio render (TRenderResult::Fault) in `language`.
QString RenderFaultText(const TUserMessage& fault, TLanguage language);
