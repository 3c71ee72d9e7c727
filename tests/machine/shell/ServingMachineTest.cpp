#include "shell/ServingMachine.h"

#include "RemoteWords.h"
#include "SessionSongs.h"
#include "TempDir.h"
#include "midi/MidiPortRecording.h"
#include "shell/Startup.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A command, then the milliseconds playback runs on after it.
struct TScriptStep {
    const char* Word;
    QString Argument;
    int Ms = 0;
};

// What a machine did: every message it sent, and after each command the selected song line,
// the current pattern and the line that plays.
struct TPlayed {
    std::vector<uint32_t> Messages;
    std::vector<std::array<int32_t, 3>> States;
};

// Runs the script through the machine's command handler, ticking playback by hand and letting
// the event loop run as a machine's would.
TPlayed PlayScript(TMachine& machine, TServerCommands& commands, TRecordingMidiPort& port,
                   const std::vector<TScriptStep>& script) {
    TMachineSession& session = machine.Session;
    session.Support().TicksByHand = true;
    TPlayed played;
    for (const TScriptStep& step : script) {
        QStringList lines{step.Word};
        if (!step.Argument.isEmpty())
            lines << step.Argument;
        commands.TestTopicExecuteMacro(lines);
        for (int ms = 0; ms < step.Ms; ++ms) {
            session.Playback().OnTick();
            if (ms % 30 == 0)
                QCoreApplication::processEvents();
        }
        QTest::qWait(2 * TPlaybackFollower::Interval); // the follower has caught up
        played.States.push_back(
            {session.SelectedLine(), session.CurrentPattern(), session.TrackPosition()});
    }
    played.Messages = port.ShortMessages();
    return played;
}

} // namespace

TEST(ServingMachine, PlaysTheSameLinesForTheSameCommandsAsAMachineWithWindows) {
    TempDir dir;
    const std::string song = dir.File("six.pks");
    TTempoInfo tempo;
    SetTempo(tempo, 200);
    TPkSong six = PatternsAndTrack(6, {1, 2, 3, 4, 5, 6});
    WriteSong(song, six, tempo);
    namespace Word = RemoteWords;
    // A pass of 16 steps takes 3200 ms: 8000 ms into the song, line 3 plays.
    const std::vector<TScriptStep> script = {
        {Word::Load, QString::fromStdString(song), 0},
        {Word::PlaySong, {}, 8000},
        {Word::NextPattern, {}, 100},
        {Word::PreviousPattern, {}, 4000},
        {Word::Stop, {}, 0},
        {Word::PlayPattern, {}, 3300},
        {Word::NextPattern, {}, 1000},
        {Word::Stop, {}, 0},
        {Word::PlaySong, {}, 7000},
        {Word::Stop, {}, 0},
    };

    auto windowsPort = std::make_unique<TRecordingMidiPort>(std::vector<std::string>{"Synth"});
    TRecordingMidiPort& windowsLog = *windowsPort;
    TMachineWindows windows({"Plinkora"}, dir.File("windows.ini"), std::move(windowsPort));
    const TPlayed withWindows = PlayScript(windows.Machine, windows.Commands, windowsLog, script);

    auto servingPort = std::make_unique<TRecordingMidiPort>(std::vector<std::string>{"Synth"});
    TRecordingMidiPort& servingLog = *servingPort;
    TServingMachine serving({"Plinkora"}, dir.File("serving.ini"), std::move(servingPort));
    const TPlayed withoutWindows =
        PlayScript(serving.Machine, serving.Server.Commands, servingLog, script);

    ASSERT_EQ(withWindows.States.size(), script.size());
    EXPECT_EQ(withWindows.States[1], (std::array<int32_t, 3>{3, 3, 3})) << "line 3 plays";
    EXPECT_EQ(withWindows.States[2], (std::array<int32_t, 3>{4, 4, 4}))
        << "on from the line that plays";
    EXPECT_EQ(withWindows.States, withoutWindows.States);
    EXPECT_GT(withWindows.Messages.size(), 100u);
    EXPECT_TRUE(withWindows.Messages == withoutWindows.Messages);
}

// A song that is missing is told on standard error; the machine serves a new song all the same.
TEST(ServingMachine, AMissingSongIsToldAndTheMachineServesANewSong) {
    TempDir dir;
    const std::string missing = dir.File("none.pks");
    testing::internal::CaptureStderr();
    TServingMachine serving({"Plinkora", missing}, dir.File("serving.ini"),
                            std::make_unique<TRecordingMidiPort>());
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(told.starts_with("Plinkora: ")) << told;
    EXPECT_NE(told.find(missing), std::string::npos) << told;
    EXPECT_EQ(serving.Machine.Session.Song().PatternCount, 1) << "the new song";
}

// A serving machine takes "--clock" and "--follow-transport" as the windows do, beside its song.
TEST(ServingMachine, TakesTheSynchronisationOptionsBesideItsSong) {
    TempDir dir;
    const std::string song = dir.File("two.pks");
    TTempoInfo tempo;
    SetTempo(tempo, 200);
    TPkSong two = PatternsAndTrack(2, {1, 2});
    WriteSong(song, two, tempo);
    TServingMachine serving({"Plinkora", "--follow-transport", song}, dir.File("serving.ini"),
                            std::make_unique<TRecordingMidiPort>());
    const TMachineSession& session = serving.Machine.Session;
    EXPECT_EQ(session.Song().PatternCount, 2) << "the song named beside the option";
    EXPECT_TRUE(session.FollowsTransport());
    EXPECT_FALSE(session.SendsClock());
}
