// The core in German and English: its log lines follow the language, the command wire and the
// machines already running do not.

#include "FakeLink.h"
#include "LogTexts.h"
#include "RemoteWords.h"

#include <gtest/gtest.h>

namespace {

TEST(Language, EveryLogLineHasBothLanguages) {
    const QStringList german = LogTexts(TLanguage::German).All();
    const QStringList english = LogTexts(TLanguage::English).All();
    ASSERT_EQ(german.size(), english.size());
    for (qsizetype i = 0; i < german.size(); ++i) {
        EXPECT_FALSE(german[i].isEmpty()) << i;
        EXPECT_FALSE(english[i].isEmpty()) << i;
        EXPECT_NE(german[i], english[i]) << i;
    }
}

// The same session in either language: start, play, tempo, skin, mute, volume, the save
// question, a machine ending and an export it breaks.
void PlaySession(TFakeController& c) {
    c.Fake(2).answers[RemoteWords::DoYouNeedSave] = AsStatusLine(RemoteWords::NoSave);
    c.core->StartMachine(3);
    c.core->PlaySong();
    c.core->SetSpeed(500);
    c.core->Skin();
    c.core->ToggleMute(2);
    c.core->SetVolume(1, 40);
    c.core->NeedsSaving();
    c.core->StartMidiExport(c.Folder() + "song.mid");
    c.Fake(3).Drop();
    c.core->CloseAll();
}

// Slot n's bytes with the session's own folder written as "<folder>".
QStringList Wire(TFakeController& c, int slot) {
    QStringList macros;
    for (QByteArray macro : c.Fake(slot).wire)
        macros << QString::fromUtf8(macro.replace(c.Folder().toUtf8(), "<folder>/"));
    return macros;
}

TEST(Language, TheWireIsTheSameInBothLanguagesOnlyTheLogDiffers) {
    TFakeController german;
    TFakeController english;
    english.core->SetLanguage(TLanguage::English);
    PlaySession(german);
    PlaySession(english);
    for (int slot = 1; slot <= 4; ++slot)
        EXPECT_EQ(Wire(german, slot), Wire(english, slot)) << "slot " << slot;
    EXPECT_TRUE(german.core->Log().contains(QString(RemoteWords::Skin) + " Abgesetzt"));
    EXPECT_TRUE(english.core->Log().contains(QString(RemoteWords::Skin) + " sent"));
    EXPECT_TRUE(english.core->Log().contains("Machine 3 ended"));
    EXPECT_TRUE(english.core->Log().contains("MIDI export failed: machine 3 ended before the "
                                             "MIDI export was complete"));
}

TEST(Language, AMachineStartsInTheLanguageOfTheMomentAndARunningOneIsLeftAlone) {
    TFakeController c;
    c.core->StartMachine(1);
    const QList<QByteArray> sentToFirst = c.Fake(1).wire;
    c.core->ChooseLanguage(TLanguage::English);
    EXPECT_EQ(c.Fake(1).wire, sentToFirst) << "nothing about the language goes over the wire";
    c.core->StartMachine(2);
    EXPECT_EQ(c.Fake(1).startLanguage, TLanguage::German);
    EXPECT_EQ(c.Fake(2).startLanguage, TLanguage::English);
}

} // namespace
