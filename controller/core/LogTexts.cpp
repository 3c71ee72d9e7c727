#include "LogTexts.h"

const TLogTexts& LogTexts(TLanguage language) {
    static const TLogTexts german{
        "Maschine %1 beendet", "Plinkora3: Openlink gescheitert",
        "Midi-Export abgebrochen, es fehlen: ", "Midi-Export gescheitert: ", "Abgesetzt"};
    static const TLogTexts english{
        "Machine %1 ended", "Plinkora3: Openlink failed",
        "MIDI export cancelled, missing: ", "MIDI export failed: ", "sent"};
    return language == TLanguage::English ? english : german;
}
