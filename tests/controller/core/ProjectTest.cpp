// The project file, opening and saving projects, new projects and the settings file.

#include "FakeLink.h"
#include "RemoteWords.h"
#include "TextLines.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

namespace W = RemoteWords;

std::string Lines(const QStringList& lines) {
    std::string text;
    for (const QString& line : lines)
        text += line.toStdString() + "\r\n";
    return text;
}

QStringList ProjectLines(int count, const QStringList& volumesAndMutes) {
    QStringList lines{"Plinkora Project", "V1", "NumMachines", QString::number(count)};
    lines << volumesAndMutes;
    while (lines.size() < 40)
        lines << "0";
    return lines;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

TEST(ProjectFile, WorkedExampleByteForByteAndBack) {
    TempDir dir;
    TProjectFile project;
    project.MachineCount = 2;
    project.Volumes = {20, 35, 0, 0};
    project.Mutes = {false, true, false, false};
    WriteProjectFile(Q(dir.File("p.pkp")), project);
    EXPECT_EQ(TempDir::Read(dir.File("p.pkp")),
              Lines(ProjectLines(2, {"20", "35", "0", "0", "0", "1", "0", "0"})));
    const TProjectFile read = ReadProjectFile(Q(dir.File("p.pkp")));
    EXPECT_EQ(read.MachineCount, 2);
    EXPECT_EQ(read.Volumes, project.Volumes);
    EXPECT_EQ(read.Mutes, project.Mutes);

    try {
        WriteProjectFile(Q(dir.File("none/p.pkp")), project);
        ADD_FAILURE() << "a project in a missing folder was written";
    } catch (const TControlError& error) {
        EXPECT_EQ(error.what(), "Cannot create file " + dir.File("none/p.pkp"));
    }
}

TEST(ProjectFile, BadLinesAreRefusedNamingFileAndLine) {
    TempDir dir;
    const auto error = [&](const QStringList& lines) {
        const std::string path = dir.Write("bad.pkp", Lines(lines));
        try {
            ReadProjectFile(Q(path));
        } catch (const TControlError& e) {
            return std::string(e.what()).substr(path.size());
        }
        return std::string("no error");
    };
    EXPECT_EQ(error(ProjectLines(2, {"20", "zwei"})),
              ", line 6: 'zwei' is not a valid integer value");
    EXPECT_EQ(error(ProjectLines(5, {})), ", line 4: the machine count 5 is outside 0 to 4");
    EXPECT_EQ(error(ProjectLines(-1, {})), ", line 4: the machine count -1 is outside 0 to 4");
    EXPECT_EQ(error(ProjectLines(1, {"200"})), ", line 5: the volume 200 is outside 0 to 127");
    EXPECT_EQ(error({"Plinkora Project", "V1", "NumMachines", "1", "0"}),
              ", line 6: the line is missing");
}

// A project folder with song files and three machines running.
class Projects : public ::testing::Test {
protected:
    void SetUp() override { c.core->Prompts = &prompts; }
    QString Project(int count, const QStringList& volumesAndMutes, const char* name = "P") {
        return Q(
            c.dir.Write(std::string(name) + ".pkp", Lines(ProjectLines(count, volumesAndMutes))));
    }
    TFakeController c;
    TScriptedPrompts prompts;
};

TEST_F(Projects, OpeningOneMachineWhileThreeRunStopsThreeAndTwo) {
    c.core->StartMachine(3);
    c.dir.Write("P1.pks", "song");
    const QString file = Project(1, {"9"});
    c.ClearJournal();
    ASSERT_TRUE(c.core->OpenProject(file));
    // The stops ask about the project as it was; its volumes come after them.
    const QStringList words{W::Stop, W::SetVolume, W::Exit, W::Load};
    EXPECT_EQ(
        c.journal.Sent().filter(QRegularExpression(words.join('|'))),
        QStringList({SentStep("PK2", W::Stop, "0"), SentStep("PK1", W::Stop, "0"),
                     SentStep("PK0", W::Stop, "0"), SentStep("PK2", W::Exit, "0"),
                     SentStep("PK1", W::Exit, "0"), SentStep("PK0", W::Load, c.Folder() + "P1.pks"),
                     SentStep("PK0", W::SetVolume, "9")}));
    EXPECT_EQ(prompts.asked, 2) << "machines that do not answer may have unsaved songs";
    EXPECT_EQ(c.core->Volume(1), 9);
    EXPECT_FALSE(c.core->Modified());
    EXPECT_EQ(c.core->RunningCount(), 1);
    EXPECT_EQ(c.core->CurrentProjectName(), c.Folder() + "P");
    EXPECT_EQ(c.core->ProjectFileName(), file) << "saving again writes where it came from";
}

TEST_F(Projects, OpeningRightAfterASaveAsksNothing) {
    c.core->StartMachine(3);
    for (int slot = 1; slot <= 3; ++slot)
        c.Fake(slot).answers[W::DoYouNeedSave] = AsStatusLine(W::NoSave);
    ASSERT_TRUE(c.core->SaveProjectAs(c.Folder() + "Old.pkp"));
    ASSERT_TRUE(c.core->OpenProject(Project(1, {"50"})));
    EXPECT_EQ(prompts.asked, 0) << "the new project's volumes are no unsaved change";
    EXPECT_EQ(c.core->Volume(1), 50);
}

TEST_F(Projects, EachMachineLoadsItsOwnSongOrStartsANewOneAndMutesAreRestored) {
    QStringList failures;
    QObject::connect(c.core.get(), &TClientCore::Failed,
                     [&](const QString& message) { failures << message; });
    for (const char* song : {"P1.pks", "P2.pks", "P4.pks"})
        c.dir.Write(song, "song");
    const QString file = Project(4, {"0", "0", "0", "0", "0", "1"});
    ASSERT_TRUE(c.core->OpenProject(file));
    const QRegularExpression songs(QString(W::Load) + "|" + W::NewSong);
    EXPECT_EQ(
        c.journal.Sent().filter(songs),
        QStringList({SentStep("PK0", W::Load, c.Folder() + "P1.pks"),
                     SentStep("PK1", W::Load, c.Folder() + "P2.pks"), SentStep("PK2", W::NewSong),
                     SentStep("PK3", W::Load, c.Folder() + "P4.pks")}));
    const QString missing = "Es fehlen Songdateien des Projekts, ihre Maschinen beginnen mit "
                            "einem neuen Song: ";
    EXPECT_EQ(failures, QStringList{missing + "P3.pks"});
    EXPECT_EQ(c.core->Log().last(), missing + "P3.pks");
    EXPECT_EQ(c.journal.Sent().last(), SentStep("PK1", W::Mute, "0"));
    EXPECT_TRUE(c.core->Muted(2));
    EXPECT_FALSE(c.core->Muted(1));

    c.ClearJournal();
    for (const char* song : {"P1.pks", "P2.pks", "P4.pks"})
        std::filesystem::remove(c.dir.File(song));
    ASSERT_TRUE(c.core->OpenProject(Project(2, {})));
    EXPECT_EQ(c.journal.Sent().filter(songs),
              QStringList({SentStep("PK0", W::NewSong), SentStep("PK1", W::NewSong)}));
    EXPECT_EQ(failures.last(), missing + "P1.pks, P2.pks");
}

TEST_F(Projects, ABadProjectChangesNothing) {
    c.core->StartMachine(1);
    c.ClearJournal();
    EXPECT_FALSE(c.core->OpenProject(Project(9, {})));
    EXPECT_FALSE(c.core->OpenProject(c.Folder() + "missing.pkp"));
    EXPECT_TRUE(c.journal.steps.isEmpty());
    EXPECT_EQ(c.core->RunningCount(), 1);
}

TEST_F(Projects, SavingWritesTheRunningCountAndHasTheMachinesSaveBesideIt) {
    EXPECT_FALSE(c.core->SaveProject()) << "nothing runs";
    c.core->StartMachine(3);
    c.core->SetVolume(2, 35);
    EXPECT_FALSE(c.core->SaveProject());
    EXPECT_EQ(prompts.saveDialogs, 1) << "no project file yet: Save As";
    c.ClearJournal();
    const QString chosen = c.Folder() + "song.pkp";
    ASSERT_TRUE(c.core->SaveProjectAs(chosen));
    const TProjectFile saved = ReadProjectFile(chosen);
    EXPECT_EQ(saved.MachineCount, 3);
    EXPECT_EQ(saved.Volumes[1], 35);
    EXPECT_EQ(TTextLines::Read(chosen).Count(), 40);
    EXPECT_EQ(c.journal.Sent(),
              QStringList({SentStep("PK2", W::Save, chosen), SentStep("PK1", W::Save, chosen),
                           SentStep("PK0", W::Save, chosen)}));
    EXPECT_TRUE(c.core->SaveProject());
    EXPECT_EQ(prompts.saveDialogs, 1);
}

TEST_F(Projects, ARestartedSlotComesBackWithItsProjectSongTheTempoItsVolumeAndMute) {
    for (const char* song : {"P1.pks", "P2.pks", "P3.pks"})
        c.dir.Write(song, "song");
    ASSERT_TRUE(c.core->OpenProject(Project(3, {"10", "20", "30", "0", "0", "0", "1"})));
    c.core->SetSpeed(586);
    c.Fake(3).Drop(); // killed while playing
    c.ClearJournal();
    c.core->StartMachine(3);
    EXPECT_EQ(c.journal.Sent().filter("PK2 <- "),
              QStringList({SentStep("PK2", W::Connect, "3"), SentStep("PK2", W::Layout, "2"),
                           SentStep("PK2", W::Load, c.Folder() + "P3.pks"),
                           SentStep("PK2", W::SetSpeed, "586"), SentStep("PK2", W::SetVolume, "30"),
                           SentStep("PK2", W::Mute, "0")}));
    EXPECT_TRUE(c.core->Muted(3));

    ASSERT_TRUE(c.core->SaveProjectAs(c.Folder() + "Q.pkp"));
    c.Fake(2).Drop();
    c.ClearJournal();
    c.core->StartMachine(2);
    EXPECT_EQ(c.journal.Sent().filter(W::Load),
              QStringList({SentStep("PK1", W::Load, c.Folder() + "Q2.pks")}))
        << "the song the slot saved last";

    c.core->NewMachines(2);
    c.ClearJournal();
    c.core->StartMachine(3);
    EXPECT_TRUE(c.journal.Sent().filter(W::Load).isEmpty()) << "a new project has no third song";
    EXPECT_FALSE(c.core->Muted(3)) << "a slot stopped from here starts released";
}

TEST_F(Projects, TheSaveQuestionComesOnlyForWhatIsUnsavedAndYesKeepsTheProjectsName) {
    c.core->StartMachine(2);
    c.Fake(1).answers[W::DoYouNeedSave] = AsStatusLine(W::NoSave);
    c.Fake(2).answers[W::DoYouNeedSave] = AsStatusLine(W::NeedSave);
    EXPECT_TRUE(c.core->SaveFirst());
    EXPECT_EQ(prompts.asked, 1);
    c.Fake(2).answers[W::DoYouNeedSave] = AsStatusLine(W::NoSave); // undone in the machine
    EXPECT_TRUE(c.core->SaveFirst());
    EXPECT_EQ(prompts.asked, 1) << "nothing is unsaved any more";

    c.core->SetVolume(1, 12);
    prompts.answer = TClientPrompts::TAnswer::Yes;
    EXPECT_TRUE(c.core->SaveFirst());
    EXPECT_EQ(prompts.saveDialogs, 1) << "an unnamed project: Save As";
    EXPECT_TRUE(c.core->Modified()) << "the dialog saved nothing";

    ASSERT_TRUE(c.core->SaveProjectAs(c.Folder() + "Band.pkp"));
    c.core->SetVolume(1, 14);
    c.ClearJournal();
    EXPECT_TRUE(c.core->StopMachine(2));
    EXPECT_EQ(prompts.asked, 3);
    EXPECT_EQ(prompts.saveDialogs, 1) << "a named project is saved under its name";
    EXPECT_EQ(c.journal.Sent().filter(W::Save),
              QStringList({SentStep("PK1", W::Save, c.Folder() + "Band.pkp"),
                           SentStep("PK0", W::Save, c.Folder() + "Band.pkp")}));
}

TEST_F(Projects, FourMachinesWithTwoRunningStartsThreeAndFourAndLoadsTheDefaults) {
    c.core->StartMachine(2);
    c.ClearJournal();
    c.core->NewMachines(4);
    EXPECT_EQ(c.journal.steps.filter("open "), QStringList({"open PK2", "open PK3"}));
    EXPECT_EQ(c.journal.Sent().filter(W::Load),
              QStringList({SentStep("PK0", W::Load, c.Folder() + "default1.pks"),
                           SentStep("PK1", W::Load, c.Folder() + "default2.pks"),
                           SentStep("PK2", W::Load, c.Folder() + "default3.pks"),
                           SentStep("PK3", W::Load, c.Folder() + "default4.pks")}));
    EXPECT_EQ(prompts.asked, 1) << "the save-first question";

    prompts.answer = TClientPrompts::TAnswer::Cancel;
    c.core->NewMachines(1);
    EXPECT_EQ(c.core->RunningCount(), 4) << "cancelling a stop keeps the machines";
}

TEST(Settings, MissingFileGivesDefaultsAndIsWrittenAtOnce) {
    TFakeController c;
    const QString path = c.Folder() + "PKControl.ini";
    ASSERT_TRUE(c.core->ReadSettings(path));
    EXPECT_FALSE(c.core->SettingsFound()) << "a first start: the window finds its own place";
    EXPECT_EQ(
        TempDir::Read(path.toStdString()),
        Lines({"4", "258", "442", c.Folder() + "PKProjects", "2", c.Folder() + "PKProjects"}));

    c.dir.Write("PKControl.ini", Lines({"9", "10", "20", "/p", "7", "/m"}));
    ASSERT_TRUE(c.core->ReadSettings(path));
    EXPECT_EQ(c.core->SlotCount(), 4) << "out of range: the default";
    EXPECT_EQ(c.core->LayoutNumber(), 2);
    EXPECT_EQ(c.core->Settings().MidiDirectory, "/m");
    EXPECT_TRUE(c.core->SettingsFound());
    EXPECT_EQ(c.core->Settings().Left, 10) << "the user's place is kept";

    c.dir.Write("PKControl.ini", Lines({"3", "x"}));
    QString failure;
    QObject::connect(c.core.get(), &TClientCore::Failed, [&](const QString& m) { failure = m; });
    EXPECT_FALSE(c.core->ReadSettings(path));
    EXPECT_EQ(failure, path + ", line 2: 'x' is not a valid integer value");
    EXPECT_EQ(c.core->Settings().MidiDirectory, "/m") << "nothing of the bad file applied";
}

TEST(Settings, AChosenLanguageIsASeventhLineARunsLanguageIsNot) {
    TFakeController c;
    const QString path = c.Folder() + "PKControl.ini";
    const QStringList six{"4", "10", "20", "/p", "2", "/m"};
    c.dir.Write("PKControl.ini", Lines(six));
    ASSERT_TRUE(c.core->ReadSettings(path));
    EXPECT_EQ(c.core->Language(), TLanguage::German) << "a file of an older version";

    c.core->SetLanguage(TLanguage::English); // --language en
    ASSERT_TRUE(c.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()), Lines(six)) << "the run's language is not kept";

    c.core->ChooseLanguage(TLanguage::English);
    ASSERT_TRUE(c.core->WriteSettings(path));
    EXPECT_EQ(TempDir::Read(path.toStdString()), Lines(QStringList(six) << "en"));
    TFakeController next;
    ASSERT_TRUE(next.core->ReadSettings(path));
    EXPECT_EQ(next.core->Language(), TLanguage::English);
    EXPECT_EQ(next.core->Settings().MidiDirectory, "/m");

    c.dir.Write("PKControl.ini", Lines(QStringList(six) << "fr"));
    TFakeController unknown;
    ASSERT_TRUE(unknown.core->ReadSettings(path));
    EXPECT_EQ(unknown.core->Language(), TLanguage::German);
}

TEST(Settings, AFirstStartPlacesTheWindowBesideTheMachinesWhereThereIsRoom) {
    const QSize window(394, 320);
    EXPECT_EQ(FirstStartPlace(QRect(0, 0, 1920, 1080), window), QPoint(MachinesWidth, 0));
    EXPECT_EQ(FirstStartPlace(QRect(0, 0, 1366, 768), window), QPoint(1366 - 394, 768 - 320))
        << "no room beside them: the corner away from the first machines";
    EXPECT_EQ(FirstStartPlace(QRect(0, 0, 300, 200), window), QPoint(0, 0));
}

TEST(Settings, AnInstalledControllerKeepsItsProjectsInTheDocumentHome) {
    TClientCore::TLinks links;
    TJournal journal;
    for (auto& link : links)
        link = std::make_unique<TFakeLink>(journal, "");
    const TClientCore core(std::move(links), "/work/", "/usr/bin/", "/home/ann/Music/Plinkora/");
    EXPECT_EQ(core.DefaultProjectDirectory(), "/home/ann/Music/Plinkora/PKProjects");
    EXPECT_EQ(core.Settings().ProjectDirectory, core.DefaultProjectDirectory());
    EXPECT_EQ(core.Settings().MidiDirectory, core.DefaultProjectDirectory());
    EXPECT_EQ(core.WorkingDirectory(), "/work/") << "the slot programs stay in the working one";
}

} // namespace
