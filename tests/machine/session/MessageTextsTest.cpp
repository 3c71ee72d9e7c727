// Messages for the user: the engine says what went wrong without words, the session words it in
// the chosen language.
#include "StringConvert.h"
#include "TempDir.h"
#include "session/MachineSession.h"

#include <gtest/gtest.h>
#include <set>

namespace {

// The placeholders (%1 ... %9) a text uses.
std::set<char> Placeholders(const std::string& text) {
    std::set<char> used;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9')
            used.insert(text[i + 1]);
    return used;
}

class Messages : public ::testing::Test {
protected:
    ~Messages() override { UseLanguage(DefaultLanguage); }
    TempDir dir;
    TMachineSession session;
};

} // namespace

TEST(MessageTexts, EveryKindHasATextInBothLanguagesWithTheSameValues) {
    for (int k = 1; k <= static_cast<int>(TMessageKind::MidiControlAssignedTwice); ++k) {
        SCOPED_TRACE(k);
        const TMessageKind kind = static_cast<TMessageKind>(k);
        const std::string german = MessageText(Message(kind), TLanguage::German);
        const std::string english = MessageText(Message(kind), TLanguage::English);
        EXPECT_FALSE(german.empty());
        EXPECT_FALSE(english.empty());
        EXPECT_EQ(Placeholders(german), Placeholders(english));
    }
}

TEST_F(Messages, AFailedLoadOrExportIsToldInTheChosenLanguage) {
    const std::string badLine = dir.Write("line.pks", "Plinkora Song\r\n200 ms\r\n1 Pattern\r\n"
                                                      "1 \r\n1 Songlines\r\n99 \r\n");
    const std::string badNumber = dir.Write("number.pks", "Plinkora Song\r\n2x ms\r\n");
    const std::string noSong = dir.Write("midi.pks", "MThd");
    const std::string noFolder = dir.File("no/folder");

    UseLanguage(TLanguage::German);
    EXPECT_EQ(session.Load(badLine).Error,
              "Songdatei " + badLine +
                  ", Zeile 6: Pattern der Songzeile 99 liegt außerhalb von 1..1");
    EXPECT_EQ(session.Load(badNumber).Error,
              "Songdatei " + badNumber + ", Zeile 2: '2x' ist kein gültiger ganzzahliger Wert");
    EXPECT_EQ(session.Load(noSong).Error, noSong + " ist keine Plinkora-Songdatei");
    EXPECT_EQ(MessageText(session.RenderAudio(noFolder + ".wav").Fault),
              "Datei " + noFolder +
                  ".wav kann nicht erstellt werden: Datei oder Ordner nicht "
                  "vorhanden");
    try {
        session.ExportMidi(noFolder + ".mid");
        ADD_FAILURE() << "exported";
    } catch (const std::exception& failure) {
        EXPECT_EQ(FailureText(failure), "Datei " + noFolder + ".mid kann nicht erstellt werden");
    }
    EXPECT_EQ(FailureText(ConvertError("x")), "'x' ist kein gültiger ganzzahliger Wert");

    UseLanguage(TLanguage::English);
    EXPECT_EQ(session.Load(badLine).Error,
              "Song file " + badLine + ", line 6: Song line pattern 99 is outside 1..1");
    EXPECT_EQ(MessageText(session.RenderAudio(noFolder + ".wav").Fault),
              "Cannot create file " + noFolder + ".wav: No such file or directory");
}
