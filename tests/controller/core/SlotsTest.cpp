// Starting, linking, commanding and forgetting machine slots, against recording links.

#include "FakeLink.h"
#include "RemoteWire.h"
#include "RemoteWords.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace W = RemoteWords;

TEST(Slots, StartingSlotThreeStartsOneAndTwoFirstEachWithItsConnect) {
    TFakeController c;
    c.core->StartMachine(3);
    EXPECT_EQ(c.journal.steps.filter("open "), QStringList({"open PK0", "open PK1", "open PK2"}));
    EXPECT_EQ(c.journal.Sent().filter(W::Connect),
              QStringList({SentStep("PK0", W::Connect, "1"), SentStep("PK1", W::Connect, "2"),
                           SentStep("PK2", W::Connect, "3")}));
    EXPECT_EQ(c.core->RunningCount(), 3);
    EXPECT_TRUE(c.core->Running(1) && c.core->Running(2) && c.core->Running(3));
    EXPECT_FALSE(c.core->Running(4));
    EXPECT_EQ(c.Fake(3).startCommand, "PK2 default3.pks");
    EXPECT_EQ(c.Fake(3).subscribed, RemoteWire::ItemName);
    // Slot 1's steps as logged: link, open, connect, the layout to the running slots, then the
    // slot's volume.
    EXPECT_EQ(c.core->Log().mid(0, 6),
              QStringList({"PK0: SetLink successful", "PK0: OpenLink successful",
                           SentLogLine(W::Connect, 1), SentLogLine(W::Layout, 1),
                           SentLogLine(W::SetVolume, 1), "PK1: SetLink successful"}));
    c.ClearJournal();
    c.core->StartMachine(2);
    EXPECT_TRUE(c.journal.steps.isEmpty()) << "a running slot is not started twice";
}

TEST(Slots, LayoutIsBroadcastOnStartUnlessItIsFour) {
    TFakeController c;
    c.core->StartMachine(1);
    c.ClearJournal();
    c.core->StartMachine(2);
    EXPECT_EQ(c.journal.steps.filter(W::Layout),
              QStringList({SentStep("PK1", W::Layout, "2"), SentStep("PK0", W::Layout, "2")}));
    c.core->Layout(4);
    c.ClearJournal();
    c.core->StartMachine(3);
    EXPECT_TRUE(c.journal.steps.filter(W::Layout).isEmpty());
}

TEST(Slots, FailedLinksAreLoggedPerSlotAndStillCounted) {
    TFakeController c;
    for (int slot = 1; slot <= 4; ++slot)
        c.Fake(slot).opens = false;
    c.core->StartMachine(4);
    EXPECT_EQ(c.core->Log().filter("penlink"),
              QStringList({"Plinkora: Openlink failed", "Openlink PK1 failed",
                           "Plinkora2: Openlink failed", "Plinkora3: Openlink gescheitert"}));
    EXPECT_TRUE(c.core->Log().contains("Machine3: SetLink successful"));
    EXPECT_EQ(c.core->RunningCount(), 4);
    EXPECT_EQ(c.journal.steps.filter(QString("dropped ") + W::Connect).size(), 4);
}

TEST(Slots, BroadcastGoesToTheRunningSlotsFromTheSlotCountDown) {
    TFakeController c;
    c.core->StartMachine(2);
    c.ClearJournal();
    c.core->NextPattern();
    EXPECT_EQ(c.core->Log().mid(c.core->Log().size() - 2),
              QStringList({SentLogLine(W::NextPattern, 2), SentLogLine(W::NextPattern, 1)}));
    EXPECT_EQ(c.journal.steps,
              QStringList({SentStep("PK1", W::NextPattern), SentStep("PK0", W::NextPattern)}));
    c.ClearJournal();
    c.core->SendCommand(0, W::Stop, "0");
    c.core->SendCommand(5, W::Stop, "0");
    c.core->ToggleMute(7);
    c.core->SetVolume(-1, 3);
    EXPECT_TRUE(c.journal.steps.isEmpty());
}

TEST(Slots, TempoAndSkinGoToTheRunningMachinesWithOneLogLine) {
    TFakeController c;
    c.core->StartMachine(2);
    c.ClearJournal();
    c.core->SetSpeed(830);
    c.core->Skin();
    EXPECT_EQ(c.journal.steps,
              QStringList({SentStep("PK0", W::SetSpeed, "830"), SentStep("PK1", W::SetSpeed, "830"),
                           SentStep("PK0", W::Skin), SentStep("PK1", W::Skin)}));
    EXPECT_EQ(c.core->Log().mid(c.core->Log().size() - 2),
              QStringList({QString(W::SetSpeed) + " Abgesetzt", QString(W::Skin) + " Abgesetzt"}));
}

TEST(Slots, ShiftAndCopyGoToTheTickedSlotsInOrder) {
    TFakeController c;
    c.core->StartMachine(4);
    c.core->Select(1, false);
    c.core->Select(3, false);
    c.ClearJournal();
    c.core->ShiftPatternUp();
    EXPECT_EQ(c.journal.steps, QStringList({SentStep("PK1", W::ShiftPatternUp),
                                            SentStep("PK3", W::ShiftPatternUp)}));
}

TEST(Slots, RepliesAreRecognisedOnlyWithTheirExactSpacing) {
    TFakeController c;
    c.core->StartMachine(2);
    const QString needSave = W::NeedSave;
    for (const QString& other :
         {needSave, needSave + " ", AsStatusLine(needSave.toLower()), " " + AsStatusLine(needSave)})
        c.Fake(1).StatusChanged(other);
    EXPECT_EQ(c.core->SaveAnswer(1), TClientCore::TSaveAnswer::None);
    EXPECT_FALSE(c.core->Modified());
    EXPECT_EQ(c.core->Log(), QStringList({" " + AsStatusLine(needSave)}))
        << "each reply replaces the log";

    c.Fake(2).StatusChanged(AsStatusLine(W::NoSave));
    c.Fake(1).StatusChanged(AsStatusLine(W::NeedSave));
    EXPECT_EQ(c.core->SaveAnswer(1), TClientCore::TSaveAnswer::NeedSave);
    EXPECT_EQ(c.core->SaveAnswer(2), TClientCore::TSaveAnswer::NoSave);
    EXPECT_TRUE(c.core->Modified());
}

TEST(Slots, AMachineThatShutsDownIsForgottenOnce) {
    TFakeController c;
    c.core->StartMachine(2);
    c.ClearJournal();
    c.Fake(2).StatusChanged(AsStatusLine(W::Shutdown));
    EXPECT_FALSE(c.core->Running(2));
    EXPECT_EQ(c.core->RunningCount(), 1);
    EXPECT_EQ(c.journal.steps, QStringList({"close PK1"}));
    c.Fake(2).StatusChanged(AsStatusLine(W::Shutdown));
    EXPECT_EQ(c.core->RunningCount(), 1) << "a second report counts nothing";
    c.core->StartMachine(2);
    EXPECT_TRUE(c.core->Running(2)) << "a gone slot can start again";
    EXPECT_EQ(c.core->RunningCount(), 2);
}

TEST(Slots, AMachineThatEndsIsForgottenAndLeftOutOfBroadcasts) {
    TFakeController c;
    c.core->StartMachine(3);
    c.ClearJournal();
    c.Fake(2).Drop(); // killed, crashed or closed
    EXPECT_FALSE(c.core->Running(2));
    EXPECT_EQ(c.core->RunningCount(), 2);
    EXPECT_TRUE(c.core->Log().contains("Maschine 2 beendet"));
    c.core->SetSpeed(500);
    c.core->StopAll();
    EXPECT_EQ(c.journal.Sent(),
              QStringList({SentStep("PK0", W::SetSpeed, "500"), SentStep("PK2", W::SetSpeed, "500"),
                           SentStep("PK2", W::Stop, "0"), SentStep("PK0", W::Stop, "0")}));
    c.Fake(3).StatusChanged(AsStatusLine(W::Shutdown));
    c.Fake(3).Drop();
    EXPECT_EQ(c.core->Log(), QStringList({AsStatusLine(W::Shutdown), "Maschine 3 beendet"}))
        << "a machine that says goodbye and then drops ends once";
}

TEST(Slots, MachinesLeftRunningAreTakenBackIntoTheirSlotsWithoutStartingAny) {
    TFakeController c;
    c.Fake(2).answering = true;
    c.Fake(4).answering = true;
    c.core->TakeBackRunningMachines();
    EXPECT_TRUE(c.journal.steps.filter("open ").isEmpty()) << "nothing is started";
    EXPECT_TRUE(c.core->Running(2) && c.core->Running(4));
    EXPECT_FALSE(c.core->Running(1) || c.core->Running(3));
    EXPECT_EQ(c.journal.Sent().filter(W::Connect),
              QStringList({SentStep("PK1", W::Connect, "2"), SentStep("PK3", W::Connect, "4")}));
    EXPECT_TRUE(c.journal.Sent().contains(SentStep("PK3", W::SetVolume, "0")));
    c.ClearJournal();
    c.core->TakeBackRunningMachines();
    EXPECT_EQ(c.journal.steps, QStringList({"probe PK0", "probe PK2"}));
}

TEST(Slots, AStartedMachineTakesItsSlotsVolume) {
    TFakeController c;
    c.core->SetVolume(2, 40);
    c.core->StartMachine(2);
    EXPECT_EQ(
        c.journal.Sent().filter(W::SetVolume),
        QStringList({SentStep("PK0", W::SetVolume, "0"), SentStep("PK1", W::SetVolume, "40")}));
}

TEST(Slots, StoppingIsRefusedBelowARunningSlotAndAsksOtherwise) {
    TFakeController c;
    TScriptedPrompts prompts;
    c.core->Prompts = &prompts;
    c.core->StartMachine(2);
    c.ClearJournal();
    EXPECT_FALSE(c.core->StopMachine(1));
    EXPECT_EQ(prompts.asked, 0);
    EXPECT_TRUE(c.journal.steps.isEmpty());

    prompts.answer = TClientPrompts::TAnswer::Cancel;
    EXPECT_FALSE(c.core->StopMachine(2));
    EXPECT_TRUE(c.core->Running(2));
    prompts.answer = TClientPrompts::TAnswer::Yes;
    EXPECT_TRUE(c.core->StopMachine(2));
    EXPECT_EQ(prompts.asked, 2);
    EXPECT_EQ(prompts.saveDialogs, 1) << "Yes runs Save Project As";
    EXPECT_EQ(c.journal.steps.mid(c.journal.steps.size() - 4),
              QStringList({SentStep("PK0", W::DoYouNeedSave) + " (blocking)",
                           SentStep("PK1", W::DoYouNeedSave) + " (blocking)",
                           SentStep("PK1", W::Exit, "0"), "close PK1"}))
        << "machines that do not answer may have unsaved songs";
    EXPECT_TRUE(c.core->Muted(2));
    c.core->StartMachine(2);
    for (int slot = 1; slot <= 2; ++slot)
        c.Fake(slot).answers[W::DoYouNeedSave] = AsStatusLine(W::NoSave);
    EXPECT_TRUE(c.core->StopMachine(2));
    EXPECT_EQ(prompts.asked, 2) << "nothing unsaved: no question";
    EXPECT_EQ(c.core->RunningCount(), 1);
    EXPECT_FALSE(c.core->StopMachine(4)) << "a slot that does not run is not stopped";
}

TEST(Slots, ClosingSendsABlockingExitToAllFourLinks) {
    TFakeController c;
    c.core->StartMachine(1);
    c.ClearJournal();
    c.core->CloseAll();
    EXPECT_EQ(c.journal.steps,
              QStringList({SentStep("PK0", W::ExitOnClose) + " (blocking)",
                           QString("PK1 dropped ") + W::ExitOnClose + " (blocking)",
                           QString("PK2 dropped ") + W::ExitOnClose + " (blocking)",
                           QString("PK3 dropped ") + W::ExitOnClose + " (blocking)", "close PK0",
                           "close PK1", "close PK2", "close PK3"}));
    EXPECT_EQ(c.core->RunningCount(), 0);
}

TEST(Slots, ProgramFilesComeFromTheWorkingDirectoryElseBesideTheController) {
    TFakeController c;
    c.dir.Write("Plinkora", "machine program");
    ::chmod(c.dir.File("Plinkora").c_str(), 0755);
    c.dir.Write("PK2", "an older copy");
    c.core->SetLanguage(TLanguage::English);
    EXPECT_TRUE(c.core->PrepareServers());
    for (const char* name : {"PK0", "PK1", "PK2", "PK3"}) {
        EXPECT_EQ(TempDir::Read(c.dir.File(name)), "machine program") << name;
        EXPECT_TRUE(QFile::permissions(QString::fromStdString(c.dir.File(name))) & QFile::ExeOwner);
    }
    EXPECT_EQ(c.core->Log().last(), "4 Machines prepared");

    TJournal journal;
    TClientCore::TLinks links;
    for (auto& link : links)
        link = std::make_unique<TFakeLink>(journal, "");
    TempDir empty;
    const QString work = QString::fromStdString(empty.Path().string()) + "/";
    TClientCore elsewhere(std::move(links), work, c.Folder());
    elsewhere.SetLanguage(TLanguage::English);
    elsewhere.PrepareServers();
    EXPECT_EQ(TempDir::Read(empty.File("PK3")), "machine program") << "from beside the controller";

    std::filesystem::remove(c.dir.File("Plinkora"));
    EXPECT_FALSE(elsewhere.PrepareServers());
    EXPECT_TRUE(elsewhere.Log().contains("Plinkora0Error - preparing machines"));
    EXPECT_TRUE(elsewhere.Log().contains("Plinkora3Error - preparing machines"));
    EXPECT_EQ(elsewhere.Log().last(), "The machine program Plinkora is missing: it is neither in " +
                                          work + " nor in " + c.Folder());
    elsewhere.SetLanguage(TLanguage::German);
    elsewhere.PrepareServers();
    EXPECT_EQ(elsewhere.Log().last(), "Das Maschinenprogramm Plinkora fehlt: es liegt weder in " +
                                          work + " noch in " + c.Folder());
}

} // namespace
