#include "LogTexts.h"

const TLogTexts& LogTexts(TLanguage language) {
    static const TLogTexts german{
        "Maschine %1 beendet",
        "Plinkora3: Openlink gescheitert",
        "Midi-Export abgebrochen, es fehlen: ",
        "Midi-Export gescheitert: ",
        "Abgesetzt",
        "Es fehlen Songdateien des Projekts, ihre Maschinen beginnen mit einem neuen Song: %1",
        "%1 Maschinen vorbereitet",
        "Plinkora%1: Fehler beim Vorbereiten der Maschinen",
        "Das Maschinenprogramm Plinkora fehlt: es liegt weder in %1 noch in %2"};
    static const TLogTexts english{
        "Machine %1 ended",
        "Plinkora3: Openlink failed",
        "MIDI export cancelled, missing: ",
        "MIDI export failed: ",
        "sent",
        "Song files of the project are missing; their machines start with a new song: %1",
        "%1 Machines prepared",
        "Plinkora%1Error - preparing machines",
        "The machine program Plinkora is missing: it is neither in %1 nor in %2"};
    return language == TLanguage::English ? english : german;
}

namespace {

struct TFaultText {
    TMessageKind Kind;
    const char* German;
    const char* English;
};

// The messages an audio render can give, with %1, %2 where their values go.
constexpr TFaultText RenderFaultTexts[] = {
    {TMessageKind::CannotCreate, "Datei %1 kann nicht erstellt werden", "Cannot create file %1"},
    {TMessageKind::CannotCreateBecause, "Datei %1 kann nicht erstellt werden: %2",
     "Cannot create file %1: %2"},
    {TMessageKind::NoSuchFileOrFolder, "Datei oder Ordner nicht vorhanden",
     "No such file or directory"},
    {TMessageKind::AccessDenied, "Zugriff verweigert", "Permission denied"},
    {TMessageKind::DiskFull, "Kein Platz mehr auf dem Datenträger", "No space left on device"},
    {TMessageKind::ReadOnlyFileSystem, "Das Dateisystem ist schreibgeschützt",
     "Read-only file system"},
    {TMessageKind::IsAFolder, "Das ist ein Ordner", "Is a directory"},
    {TMessageKind::NoSoundFontInstalled,
     "Es ist kein General-MIDI-Soundfont installiert, daher kann der eingebaute Synthesizer "
     "(Midi Mapper) nicht klingen: Installieren Sie das Paket fluid-soundfont-gm oder nennen "
     "Sie eine Soundfont-Datei in PLINKORA_SOUNDFONT.",
     "No General MIDI soundfont is installed, so the built-in synthesizer (Midi Mapper) cannot "
     "sound: install the package fluid-soundfont-gm, or name a soundfont file in "
     "PLINKORA_SOUNDFONT."},
    {TMessageKind::BadSoundFont,
     "Der in PLINKORA_SOUNDFONT genannte Soundfont %1 fehlt oder ist keine Soundfont-Datei.",
     "The soundfont %1 named in PLINKORA_SOUNDFONT is missing or is no soundfont file."},
    {TMessageKind::NoSoundFileType,
     "%1 ist keine Audiodatei, die dieses Programm schreiben kann (es schreibt %2)",
     "%1 is no sound file this program can write (it writes %2)"},
    {TMessageKind::SynthSettings, "Der Synthesizer nimmt seine Einstellungen nicht an",
     "the synthesizer does not take its settings"},
    {TMessageKind::SynthMemory, "Der Synthesizer konnte nicht starten: kein Speicher frei",
     "the synthesizer could not start: out of memory"},
    {TMessageKind::MidiUnplayable, "Die MIDI-Daten lassen sich nicht abspielen%1",
     "the MIDI data cannot be played%1"},
};

} // namespace

QString RenderFaultText(const TUserMessage& fault, TLanguage language) {
    return QString::fromStdString(WordMessage(fault, [language](TMessageKind kind) {
        for (const TFaultText& text : RenderFaultTexts)
            if (text.Kind == kind)
                return std::string(language == TLanguage::English ? text.English : text.German);
        return std::string();
    }));
}
