#pragma once

// The machine's string tables: a translatable text is known by its number; the German and the
// English table hold the same numbers, the texts the windows and the machine's messages use. Plain
// C++: the windows apply the tagged captions (shell/language.h), the session keeps the message
// texts it needs (the new-song name).

#include "Language.h"
#include "UserMessage.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iterator>
#include <span>
#include <string>
#include <string_view>

// One text of a string table: the text number and its UTF-8 text.
struct TLanguageEntry {
    int Number;
    std::string_view Text;
};

// A text is read into a buffer of this many characters, the last one being the terminator.
inline constexpr std::size_t TextBufferLength = 60;

// The German table, sorted by number.
inline constexpr TLanguageEntry GermanTexts[] = {
    {1, "Neu"},
    {2, "Kopieren"},
    {3, "Reset"},
    {4, "SPIELE PAT."},
    {5, "STOP"},
    {6, "Pattern Editor"},
    {13, "1 Oktave"},
    {19, "Optimiert für"},
    {20, "Midi Export"},
    {21, "Export Optionen"},
    {22, "Zusätzliche Informationen"},
    {23, "Programmwechsel einfügen"},
    {24, "monophone Handys"},
    {25, "2 Oktaven"},
    {26, "Copyright"},
    {27, "Instr."},
    {28, "Beschreibung"},
    {29, "Text"},
    {30, "Midi speichern"},
    {31, "Abbruch"},
    {32, "Trackname"},
    {37, "3 Oktaven"},
    {40, "Track Editor"},
    {41, "Nr."},
    {42, "PAT"},
    {43, "Folgen"},
    {44, "Einfügen"},
    {45, "Löschen"},
    {46, "SPIELE SONG"},
    {47, "STOP"},
    {49, "4 Oktaven"},
    {60, "Plinkora"},
    {61, "5 Oktaven"},
    {62, "STOP"},
    {63, "SPIELE SONG"},
    {64, "MIDI RESET"},
    {65, "Transp."},
    {66, "Kanal"},
    {67, "Gerät"},
    {68, "Pattern Editor"},
    {69, "Track Editor"},
    {70, "SPIELE PAT."},
    {80, "Datei"},
    {81, "Optionen"},
    {82, "Hintergrund"},
    {83, "Info..."},
    {84, "Bearbeiten"},
    {85, "Rückgängig"},
    {86, "Wiederholen"},
    {87, "Lizenz: GPL-3.0-or-later"},
    {88, "Ohne jede Gewährleistung"},
    {90, "Neu"},
    {91, "Projekt"},
    {92, "Schlagzeugspur"},
    {93, "Song (Pattern behalten)"},
    {94, "Öffnen"},
    {95, "Speichern"},
    {96, "Speichern unter"},
    {97, "Exportiere Midi"},
    {98, "Beenden"},
    {100, "Verzeichnisse"},
    {101, "Song (*.pks) Verzeichnis"},
    {102, "Midi (*.mid) Verzeichnis"},
    {105, "Reglerweite"},
    {106, "Tonvorschau bei Wiedergabe"},
    {107, "Takt"},
    {108, "Sprache"},
    {120, "Löschen"},
    {130, "Takteinstellung"},
    {131, "Faktor"},
    {132, "Track Eigenschaften"},
    {140, "Aus"},
    {141, "Geöffnet"},
    {142, "Spiele"},
    {143, "Angehalten"},
    {144, "Neuer Song"},
    {150, "Wählen Sie ein Verzeichnis für Ihre Plinkora Songs"},
    {151, "Wählen Sie ein Verzeichnis für Ihre Midi Dateien"},
    {152, "Wollen Sie den aktuellen Song speichern?"},
    {153, "Soll die existierende Datei überschrieben werden?"},
    {160, "Projekt Statistik"},
    {161, "Im Track verwendete Pattern:"},
    {162, "Unbenutzte Pattern:"},
    {163, "Statistik"},
    {164, "Gesamtanzahl der Pattern:"},
    {165, "Länge des Tracks (in Pattern):"},
    {200, "Hilfe"},
    {201, "Inhalt"},
    {300, " Das gewählte Gerät wird bereits verwendet "},
    {350, "Nicht verwendet in GM"},
    {351, "Tonlänge "},
    {360, "Tonbeschränkung"},
    {361, "Zufall"},
    {400, "Note ändern"},
    {401, "Tonlänge ändern"},
    {402, "Neuer Pattern"},
    {403, "Pattern kopieren"},
    {404, "Pattern zurücksetzen"},
    {405, "Zufallstöne"},
    {406, "Pattern nach oben"},
    {407, "Pattern nach unten"},
    {408, "Pattern nach links"},
    {409, "Pattern nach rechts"},
    {410, "Patternname"},
    {411, "Songzeile einfügen"},
    {412, "Songzeile löschen"},
    {413, "Songzeile ändern"},
    {414, "Tempo"},
    {415, "Transponierung"},
    {416, "Kanal"},
    {417, "Instrument"},
    {418, "Bank"},
    {419, "Gerät"},
    {420, "Notenbereich"},
    {430, "Exportiere Audio..."},
    {431, "Die Audiodatei wird berechnet..."},
    {432, "Abbrechen"},
    {433, "Typ 0 MidiFile (*.mid)"},
    {434, "Dur"},
    {435, "Moll"},
    {436, "Wiedergabe"},
    {500, "MIDI-Clock senden"},
    {501, "JACK-Transport folgen"},
    {502, "Ableton Link"},
    {503, "Start/Stop synchronisieren"},
    {504, "Link: %1 Teilnehmer"},
    {505, "Link: 1 Teilnehmer"},
    {506, "MIDI-Clock folgen"},
    {507, "MIDI-Steuerung..."},
    {508, "Lernen"},
    {509, "Transponieren per Tastatur"},
    {520, "MIDI-Eingang"},
    {521, "keiner"},
    {522, "Aus"},
    {523, "Kanal %1"},
    {524, "MIDI-Steuerung"},
    {525, "Song abspielen"},
    {526, "Pattern abspielen"},
    {527, "Stopp"},
    {528, "Nächstes Pattern"},
    {529, "Voriges Pattern"},
    {530, "Stumm"},
    {531, "Tempo"},
    {532, "Lautstärke"},
    {533, "Transponierung"},
    {534, "Note %1, Kanal %2"},
    {535, "Controller %1, Kanal %2"},
    {536, "Löschen"},
    {537, "Warte auf MIDI…"},
    {538, "Lernen: %1"},
    {539, "Löschen: %1"},
    {540, "Aktion"},
    {541, "MIDI-Nachricht"},
};

// The same numbers in English.
inline constexpr TLanguageEntry EnglishTexts[] = {
    {1, "New"},
    {2, "Copy"},
    {3, "Reset"},
    {4, "PLAY PAT."},
    {5, "STOP"},
    {6, "Pattern Editor"},
    {13, "1 Octave"},
    {19, "Optimized for"},
    {20, "MIDI Export"},
    {21, "Export Options"},
    {22, "Additional Information"},
    {23, "Insert program change"},
    {24, "monophonic phones"},
    {25, "2 Octaves"},
    {26, "Copyright"},
    {27, "Instr."},
    {28, "Description"},
    {29, "Text"},
    {30, "Save MIDI"},
    {31, "Cancel"},
    {32, "Track name"},
    {37, "3 Octaves"},
    {40, "Track Editor"},
    {41, "No."},
    {42, "PAT"},
    {43, "Follow"},
    {44, "Insert"},
    {45, "Delete"},
    {46, "PLAY SONG"},
    {47, "STOP"},
    {49, "4 Octaves"},
    {60, "Plinkora"},
    {61, "5 Octaves"},
    {62, "STOP"},
    {63, "PLAY SONG"},
    {64, "MIDI RESET"},
    {65, "Transp."},
    {66, "Channel"},
    {67, "Device"},
    {68, "Pattern Editor"},
    {69, "Track Editor"},
    {70, "PLAY PAT."},
    {80, "File"},
    {81, "Options"},
    {82, "Skin"},
    {83, "Info..."},
    {84, "Edit"},
    {85, "Undo"},
    {86, "Redo"},
    {87, "Licence: GPL-3.0-or-later"},
    {88, "Without any warranty"},
    {90, "New"},
    {91, "Project"},
    {92, "Drum Track"},
    {93, "Song (Keep Patterns)"},
    {94, "Open"},
    {95, "Save"},
    {96, "Save As"},
    {97, "Export MIDI"},
    {98, "Exit"},
    {100, "Directories"},
    {101, "Song (*.pks) Directory"},
    {102, "MIDI (*.mid) Directory"},
    {105, "Slider Range"},
    {106, "Tone Preview During Playback"},
    {107, "Bar"},
    {108, "Language"},
    {120, "Clear"},
    {130, "Time Signature"},
    {131, "Factor"},
    {132, "Track Properties"},
    {140, "Off"},
    {141, "Opened"},
    {142, "Playing"},
    {143, "Stopped"},
    {144, "New Song"},
    {150, "Choose a directory for your Plinkora songs"},
    {151, "Choose a directory for your MIDI files"},
    {152, "Do you want to save the current song?"},
    {153, "Overwrite the existing file?"},
    {160, "Project Statistics"},
    {161, "Patterns used in the track:"},
    {162, "Unused patterns:"},
    {163, "Statistics"},
    {164, "Total number of patterns:"},
    {165, "Track length (in patterns):"},
    {200, "Help"},
    {201, "Contents"},
    {300, " The chosen device is already in use "},
    {350, "Not used in GM"},
    {351, "Note Length "},
    {360, "Note Limit"},
    {361, "Random"},
    {400, "Change Note"},
    {401, "Change Note Length"},
    {402, "New Pattern"},
    {403, "Copy Pattern"},
    {404, "Reset Pattern"},
    {405, "Random Notes"},
    {406, "Pattern Up"},
    {407, "Pattern Down"},
    {408, "Pattern Left"},
    {409, "Pattern Right"},
    {410, "Pattern Name"},
    {411, "Insert Song Line"},
    {412, "Delete Song Line"},
    {413, "Change Song Line"},
    {414, "Tempo"},
    {415, "Transposition"},
    {416, "Channel"},
    {417, "Instrument"},
    {418, "Bank"},
    {419, "Device"},
    {420, "Note Range"},
    {430, "Export Audio..."},
    {431, "Rendering the sound file..."},
    {432, "Cancel"},
    {433, "Type 0 MIDI file (*.mid)"},
    {434, "Maj"},
    {435, "Min"},
    {436, "Play"},
    {500, "Send MIDI clock"},
    {501, "Follow JACK transport"},
    {502, "Ableton Link"},
    {503, "Sync start/stop"},
    {504, "Link: %1 Peers"},
    {505, "Link: 1 Peer"},
    {506, "Follow MIDI clock"},
    {507, "MIDI control..."},
    {508, "Learn"},
    {509, "Transpose from keyboard"},
    {520, "MIDI input"},
    {521, "none"},
    {522, "Off"},
    {523, "Channel %1"},
    {524, "MIDI control"},
    {525, "Play song"},
    {526, "Play pattern"},
    {527, "Stop"},
    {528, "Next pattern"},
    {529, "Previous pattern"},
    {530, "Mute"},
    {531, "Tempo"},
    {532, "Volume"},
    {533, "Transposition"},
    {534, "Note %1, channel %2"},
    {535, "Controller %1, channel %2"},
    {536, "Clear"},
    {537, "Waiting for MIDI…"},
    {538, "Learn: %1"},
    {539, "Clear: %1"},
    {540, "Operation"},
    {541, "MIDI message"},
};

// The messages for the user (TMessageKind, in its order), apart from the captions above: a
// message is whole, not cut to the text buffer. Kind k has number FirstMessageText + k - 1 up to
// 499; the captions from 500 on leave 510..519 to the kinds after that (MessageTextNumber).
inline constexpr int FirstMessageText = 437;
inline constexpr int LastFirstMessageText = 499;
inline constexpr int MoreMessageTexts = 510;
inline constexpr int LastMoreMessageText = 519;

inline constexpr int MessageTextNumber(TMessageKind kind) {
    const int k = static_cast<int>(kind);
    const int firstRun = LastFirstMessageText - FirstMessageText + 1;
    return k <= firstRun ? FirstMessageText + k - 1 : MoreMessageTexts + k - firstRun - 1;
}
static_assert(MessageTextNumber(TMessageKind::MidiClockLost) == LastFirstMessageText);
static_assert(MessageTextNumber(TMessageKind::MidiControlAssignedTwice) <= LastMoreMessageText);

inline constexpr TLanguageEntry GermanMessages[] = {
    {437, "Datei %1 kann nicht geöffnet werden"},
    {438, "Datei %1 kann nicht erstellt werden"},
    {439, "Datei %1 kann nicht erstellt werden: %2"},
    {440, "Lesefehler in Datei %1"},
    {441, "%1 ist keine Plinkora-Songdatei"},
    {442, "Ordner %1 kann nicht erstellt werden"},
    {443, "'%1' ist kein gültiger ganzzahliger Wert"},
    {444, "Der Song ist zu lang für eine MIDI-Datei"},
    {445, "Datei oder Ordner nicht vorhanden"},
    {446, "Zugriff verweigert"},
    {447, "Kein Platz mehr auf dem Datenträger"},
    {448, "Das Dateisystem ist schreibgeschützt"},
    {449, "Das ist ein Ordner"},
    {450, "Songdatei %1, Zeile %2: %3"},
    {451, "die Datei endet vorzeitig, es fehlt %1"},
    {452, "%1 enthält %2 Werte, nötig sind %3"},
    {453, "%1 %2 liegt außerhalb von %3..%4"},
    {454, "Pattern %1 hat keine Noten"},
    {455, "die Anzahl der Songzeilen %1 ist negativ"},
    {456, "Notenbereich %1 ist keiner von 13, 25, 37, 49, 61"},
    {457, "Taktnenner %1 ist keiner von 2, 4, 8, 16"},
    {458, "die Kopfzeile"},
    {459, "die Schrittdauer"},
    {460, "die Anzahl der Pattern"},
    {461, "eine Notenzeile"},
    {462, "die Anzahl der Songzeilen"},
    {463, "die Liste der Songzeilen"},
    {464, "die Überschrift der Transponierung"},
    {465, "die Liste der Transponierungen"},
    {466, "die Instrumentzeile"},
    {467, "die Gerätezeile"},
    {468, "die Kanalzeile"},
    {469, "die Zeile des Notenbereichs"},
    {470, "die Taktart"},
    {471, "der Trenner der Taktart"},
    {472, "der Nenner der Taktart"},
    {473, "eine Gate-Zeile"},
    {474, "eine Zeile der Tonlängen"},
    {475, "ein Patternname"},
    {476, "die Bank"},
    {477, "Schrittdauer"},
    {478, "Anzahl der Pattern"},
    {479, "Notenwert"},
    {480, "Pattern der Songzeile"},
    {481, "Instrument"},
    {482, "Kanal"},
    {483, "Taktzähler"},
    {484, "Gate"},
    {485, "Tonlänge"},
    {486, "Bank"},
    {487, "Es ist kein General-MIDI-Soundfont installiert, daher kann der eingebaute Synthesizer "
          "(Midi Mapper) nicht klingen: Installieren Sie das Paket fluid-soundfont-gm oder nennen "
          "Sie eine Soundfont-Datei in PLINKORA_SOUNDFONT."},
    {488, "Der in PLINKORA_SOUNDFONT genannte Soundfont %1 fehlt oder ist keine Soundfont-Datei."},
    {489, "%1 ist keine Audiodatei, die dieses Programm schreiben kann (es schreibt %2)"},
    {490, "Der Synthesizer nimmt seine Einstellungen nicht an"},
    {491, "Der Synthesizer konnte nicht starten: kein Speicher frei"},
    {492, "Die MIDI-Daten lassen sich nicht abspielen%1"},
    {493, "keine Audioausgabe für den eingebauten Synthesizer: %1; wählen Sie ein anderes "
          "MIDI-Gerät oder setzen Sie PLINKORA_AUDIO_DRIVER"},
    {494, "noch keine Audioausgabe für den eingebauten Synthesizer: sein Audiotreiber startet "
          "noch; versuchen Sie es gleich noch einmal, wählen Sie ein anderes MIDI-Gerät oder "
          "setzen Sie PLINKORA_AUDIO_DRIVER"},
    {495, "Das Gerät JACK kann nicht geöffnet werden: es läuft kein JACK-Server; starten Sie "
          "einen (zum Beispiel mit qjackctl, oder PipeWires JACK) oder wählen Sie ein anderes "
          "MIDI-Gerät"},
    {496, "Der JACK-Server ist beendet: was die Maschine an JACK sendet, geht verloren; wählen "
          "Sie das Gerät JACK wieder, sobald ein Server läuft, oder ein anderes MIDI-Gerät"},
    {497, "JACK-Server beendet"},
    {498, "Die Link-Sitzung spielt %1 BPM, außerhalb des Tempobalkens: die Maschine spielt %2 "
          "BPM"},
    {499, "MIDI-Clock verloren: Wiedergabe angehalten; sie geht mit dem nächsten Start oder "
          "Continue des Taktgebers weiter"},
    {510, "Der MIDI-Eingang %1 kann nicht geöffnet werden: %2"},
    {511, "MIDI-Steuerdatei %1, Zeile %2 übersprungen: %3"},
    {512, "'%1' ist keine Zuordnung (Operation = note|cc Kanal Nummer)"},
    {513, "'%1' nennt keine Operation"},
    {514, "'%1' nennt weder note noch cc noch none"},
    {515, "'%1': der Kanal ist keine Zahl von 1 bis 16"},
    {516, "'%1': die Noten- oder Controllernummer ist keine Zahl von 0 bis 127"},
    {517, "'%1': Tempo, Lautstärke und Transponierung nehmen nur einen Controller (cc)"},
    {518, "'%1': die Operation ist schon in einer früheren Zeile zugeordnet"},
};

inline constexpr TLanguageEntry EnglishMessages[] = {
    {437, "Cannot open file %1"},
    {438, "Cannot create file %1"},
    {439, "Cannot create file %1: %2"},
    {440, "Read error in file %1"},
    {441, "%1 is not a Plinkora song file"},
    {442, "Cannot create folder %1"},
    {443, "'%1' is not a valid integer value"},
    {444, "The song is too long for a MIDI file"},
    {445, "No such file or directory"},
    {446, "Permission denied"},
    {447, "No space left on device"},
    {448, "Read-only file system"},
    {449, "Is a directory"},
    {450, "Song file %1, line %2: %3"},
    {451, "the file ends before %1"},
    {452, "%1 holds %2 values where %3 are needed"},
    {453, "%1 %2 is outside %3..%4"},
    {454, "pattern %1 has no notes"},
    {455, "the song-line count %1 is negative"},
    {456, "Range %1 is not one of 13, 25, 37, 49, 61"},
    {457, "Time signature denominator %1 is not one of 2, 4, 8, 16"},
    {458, "the header"},
    {459, "the step time"},
    {460, "the pattern count"},
    {461, "a note line"},
    {462, "the song-line count"},
    {463, "the song-line list"},
    {464, "the transposition label"},
    {465, "the transposition list"},
    {466, "the patch line"},
    {467, "the device line"},
    {468, "the channel line"},
    {469, "the range line"},
    {470, "the time signature"},
    {471, "the time signature separator"},
    {472, "the time signature denominator"},
    {473, "the gate line"},
    {474, "the length line"},
    {475, "a pattern name"},
    {476, "the bank"},
    {477, "Step time"},
    {478, "Pattern count"},
    {479, "Note value"},
    {480, "Song line pattern"},
    {481, "Patch"},
    {482, "Channel"},
    {483, "Time signature numerator"},
    {484, "Gate"},
    {485, "Length"},
    {486, "Bank"},
    {487, "No General MIDI soundfont is installed, so the built-in synthesizer (Midi Mapper) "
          "cannot sound: install the package fluid-soundfont-gm, or name a soundfont file in "
          "PLINKORA_SOUNDFONT."},
    {488, "The soundfont %1 named in PLINKORA_SOUNDFONT is missing or is no soundfont file."},
    {489, "%1 is no sound file this program can write (it writes %2)"},
    {490, "the synthesizer does not take its settings"},
    {491, "the synthesizer could not start: out of memory"},
    {492, "the MIDI data cannot be played%1"},
    {493, "no audio output for the built-in synthesizer: %1; choose another MIDI device or set "
          "PLINKORA_AUDIO_DRIVER"},
    {494, "no audio output for the built-in synthesizer yet: its audio driver is still starting; "
          "try again, choose another MIDI device or set PLINKORA_AUDIO_DRIVER"},
    {495, "The device JACK cannot be opened: no JACK server is running; start one (for example "
          "with qjackctl, or PipeWire's JACK) or choose another MIDI device"},
    {496, "The JACK server has ended: what the machine sends to JACK is lost; choose the device "
          "JACK again once a server runs, or another MIDI device"},
    {497, "JACK server ended"},
    {498, "The Link session plays %1 BPM, outside the tempo bar: the machine plays %2 BPM"},
    {499, "MIDI clock lost: playback stopped; it goes on with the leader's next Start or "
          "Continue"},
    {510, "The MIDI input %1 cannot be opened: %2"},
    {511, "MIDI control file %1, line %2 skipped: %3"},
    {512, "'%1' is no assignment (operation = note|cc channel number)"},
    {513, "'%1' names no operation"},
    {514, "'%1' names neither note nor cc nor none"},
    {515, "'%1': the channel is not a number 1..16"},
    {516, "'%1': the note or controller number is not a number 0..127"},
    {517, "'%1': tempo, volume and transposition take a controller (cc) only"},
    {518, "'%1': the operation is assigned on an earlier line already"},
};

static_assert(std::size(GermanMessages) ==
                  static_cast<std::size_t>(TMessageKind::MidiControlAssignedTwice),
              "every message kind has its text, in the kinds' order");
static_assert(std::size(EnglishMessages) == std::size(GermanMessages));

// The undo steps are named by these text numbers.
enum TStepText : int32_t {
    stNote = 400,
    stLength = 401,
    stNewPattern = 402,
    stCopyPattern = 403,
    stFillPattern = 404,
    stRandom = 405,
    stShiftUp = 406,
    stShiftDown = 407,
    stRotateLeft = 408,
    stRotateRight = 409,
    stPatternName = 410,
    stInsertLine = 411,
    stDeleteLine = 412,
    stLinePattern = 413,
    stTempo = 414,
    stTransposition = 415,
    stChannel = 416,
    stPatch = 417,
    stBank = 418,
    stDevice = 419,
    stRange = 420,
};

// The main window's play toggle (its accessible name).
inline constexpr int PlayToggleText = 436;
// The Options menu's synchronisation items.
inline constexpr int SendClockText = 500;
inline constexpr int FollowTransportText = 501;
inline constexpr int LinkText = 502;
inline constexpr int LinkStartStopText = 503;
// The main window's Link label: the other peers of the session (%1), and one peer.
inline constexpr int LinkPeersText = 504;
inline constexpr int LinkOnePeerText = 505;
// MIDI in: the Options items, the main window's input list and the MIDI control window.
inline constexpr int FollowClockText = 506;
inline constexpr int MidiControlItemText = 507;
inline constexpr int LearnText = 508;
inline constexpr int KeyboardTransposeText = 509;
inline constexpr int MidiInputLabelText = 520;
inline constexpr int NoMidiInputText = 521;
inline constexpr int KeyboardOffText = 522;
inline constexpr int KeyboardChannelText = 523; // %1 the channel
inline constexpr int MidiControlTitleText = 524;
inline constexpr int FirstMidiControlOperationText = 525; // one per operation, in their order
inline constexpr int NoteAssignmentText = 534;            // %1 the key, %2 the channel
inline constexpr int ControllerAssignmentText = 535;      // %1 the controller, %2 the channel
inline constexpr int ClearAssignmentText = 536;
inline constexpr int LearningText = 537;
inline constexpr int LearnButtonNameText = 538; // accessible names: %1 the operation
inline constexpr int ClearButtonNameText = 539;
inline constexpr int OperationHeaderText = 540;
inline constexpr int MessageHeaderText = 541;

using TLanguageTable = std::span<const TLanguageEntry>;

inline constexpr TLanguageTable GermanTable{GermanTexts};
inline constexpr TLanguageTable EnglishTable{EnglishTexts};

inline constexpr TLanguageTable LanguageTable(TLanguage language) {
    return language == TLanguage::English ? EnglishTable : GermanTable;
}

// The language whose table the texts without a table argument come from (German until chosen
// otherwise); the whole program uses one language at a time.
TLanguage CurrentLanguage();
void UseLanguage(TLanguage language);

// The first TextBufferLength - 1 characters of a UTF-8 text (characters, not bytes: the table
// was 8-bit text, one byte per character).
inline std::string CutToTextBuffer(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && ++characters == TextBufferLength)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

// The text of number n in `table`, cut to the buffer; empty when the table has no entry n.
inline std::string TextByNumber(TLanguageTable table, int n) {
    for (const TLanguageEntry& entry : table)
        if (entry.Number == n)
            return CutToTextBuffer(entry.Text);
    return {};
}

inline std::string TextByNumber(int n) {
    return TextByNumber(LanguageTable(CurrentLanguage()), n);
}

// The texts the code uses after start-up, read once by the loader (number in brackets).
struct TLanguageTexts {
    std::string OffText;               // (140) note box of a rest in the pattern editor
    std::string OpenedText;            // (141) kept, not shown anywhere
    std::string PlayingText;           // (142) kept, not shown anywhere
    std::string StoppedText;           // (143) kept, not shown anywhere
    std::string NewSongName;           // (144) name of a new song
    std::string SongFolderLabel;       // (101) Options menu song-folder entry
    std::string MidiFolderLabel;       // (102) Options menu MIDI-folder entry
    std::string SongFolderBrowseTitle; // (150) song-folder choice dialog
    std::string MidiFolderBrowseTitle; // (151) MIDI-folder choice dialog
    std::string SaveQuestion;          // (152) asked before a modified song is dropped
    std::string OverwriteQuestion;     // (153) asked before an existing file is replaced
    std::string DeviceBusyText;        // (300) the one MIDI port error the user sees
    std::string HelpContentsText;      // (201) Help menu "Contents"
    std::string NoteDescriptionText;   // (350) drum key outside General MIDI, channel 10
};

// Step 1 of loading: the message texts of `table` (the current language's when not given).
TLanguageTexts LoadMessageTexts(TLanguageTable table);
TLanguageTexts LoadMessageTexts();

// An Options menu folder entry: label + "  ->  " + folder.
std::string FolderEntryCaption(std::string_view label, std::string_view folder);

// "Pattern Editor - PATTERN " + the pattern number.
std::string PatternEditorCaption(int pattern);

// A message in the words of `language` (the current one when not given).
std::string MessageText(const TUserMessage& message, TLanguage language);
std::string MessageText(const TUserMessage& message);

// What the user reads of a failed operation, in the current language: the message of a file
// error or a number that did not convert, else the failure's own text.
std::string FailureText(const std::exception& failure);
