#include "LogTexts.h"

const TLogTexts& LogTexts(TLanguage language) {
    static const TLogTexts german{
        "Maschine %1 beendet",
        "Plinkora3: Openlink gescheitert",
        "Midi-Export abgebrochen, es fehlen: ",
        "Midi-Export gescheitert: ",
        "Abgesetzt",
        "Es fehlen Songdateien des Projekts, ihre Maschinen beginnen mit einem neuen Song: %1"};
    static const TLogTexts english{
        "Machine %1 ended",
        "Plinkora3: Openlink failed",
        "MIDI export cancelled, missing: ",
        "MIDI export failed: ",
        "sent",
        "Song files of the project are missing; their machines start with a new song: %1"};
    return language == TLanguage::English ? english : german;
}
