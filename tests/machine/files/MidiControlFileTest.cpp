// The MIDI control file: assignments written and read back, malformed lines skipped and named
// while the rest load, and what an incoming message asks of the operations.
#include "files/MidiControlFile.h"

#include "TempDir.h"
#include "TempoBar.h"
#include "files/FileError.h"

#include <gtest/gtest.h>

namespace {

using Op = TMidiControlOperation;
using Fault = TMidiControlFault;
using TActions = std::vector<TMidiControlAction>;

constexpr TMidiAssignment Note(int32_t channel, int32_t key) {
    return {TMidiControlSource::Note, channel, key};
}
constexpr TMidiAssignment Cc(int32_t channel, int32_t controller) {
    return {TMidiControlSource::Controller, channel, controller};
}

std::optional<TMidiAssignment>& At(TMidiControlMap& map, Op operation) {
    return map[static_cast<size_t>(operation)];
}

TEST(MidiControlFile, AssignmentsAreWrittenReadablyAndReadBack) {
    TempDir dir;
    const std::string path = dir.File("midi-control.txt");
    EXPECT_EQ(ReadMidiControlFile(path).Map, TMidiControlMap{}) << "no file: nothing assigned";

    TMidiControlMap map;
    At(map, Op::PlaySong) = Note(10, 36);
    At(map, Op::PreviousPattern) = Cc(16, 0);
    At(map, Op::Tempo) = Cc(1, 74);
    At(map, Op::Transposition) = Cc(2, 127);
    WriteMidiControlFile(path, map);
    const std::string text = TempDir::Read(path);
    EXPECT_NE(text.find("\nplaysong = note 10 36\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\ntempo = cc 1 74\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nmute = none\n"), std::string::npos) << text;

    const TMidiControlFile read = ReadMidiControlFile(path);
    EXPECT_EQ(read.Map, map);
    EXPECT_TRUE(read.Problems.empty());
    EXPECT_THROW(WriteMidiControlFile(dir.File("no/folder.txt"), map), FileError);
}

TEST(MidiControlFile, AMalformedLineIsSkippedAndNamedWhileTheRestLoads) {
    const TMidiControlFile file = ParseMidiControl("# pads\r\n"
                                                   "  PlaySong=NOTE 10 36   # pad 1\r\n"
                                                   "stop = note 10\r\n"
                                                   "\n"
                                                   "jump = note 1 2\n"
                                                   "mute = pc 1 2\n"
                                                   "volume = cc 0 7\n"
                                                   "volume = cc 1 128\n"
                                                   "tempo = note 1 60\n"
                                                   "tempo cc 1 74\n"
                                                   "volume = cc 1 7\n"
                                                   "playsong = note 10 37\n"
                                                   "transposition = none\n"
                                                   "nextpattern = cc 3 20");
    TMidiControlMap expected;
    At(expected, Op::PlaySong) = Note(10, 36);
    At(expected, Op::Volume) = Cc(1, 7);
    At(expected, Op::NextPattern) = Cc(3, 20);
    EXPECT_EQ(file.Map, expected);
    const std::vector<TMidiControlProblem> problems = {
        {3, "stop = note 10", Fault::NotAnAssignment},
        {5, "jump = note 1 2", Fault::UnknownOperation},
        {6, "mute = pc 1 2", Fault::UnknownMessage},
        {7, "volume = cc 0 7", Fault::BadChannel},
        {8, "volume = cc 1 128", Fault::BadNumber},
        {9, "tempo = note 1 60", Fault::NeedsController},
        {10, "tempo cc 1 74", Fault::NotAnAssignment},
        {12, "playsong = note 10 37", Fault::AssignedTwice},
    };
    EXPECT_EQ(file.Problems, problems);

    const TMidiControlFile garbage =
        ParseMidiControl(std::string(30, '\n') + "ä" + std::string(200, 'x') + "\nx\n");
    ASSERT_EQ(garbage.Problems.size(), 2u);
    EXPECT_EQ(garbage.Problems[0].Line, 31);
    EXPECT_EQ(garbage.Problems[0].Text, "ä" + std::string(MaxProblemText - 2, 'x'));
    std::string manyBad;
    for (int i = 0; i < 100; ++i)
        manyBad += "x\n";
    EXPECT_EQ(ParseMidiControl(manyBad).Problems.size(), MaxReportedProblems);
}

TEST(MidiControlFile, ControllersSetTheirRangeAndNotesOrHighValuesTrigger) {
    TMidiControlMap map;
    At(map, Op::Tempo) = Cc(1, 74);
    At(map, Op::Volume) = Cc(1, 7);
    At(map, Op::Transposition) = Cc(1, 75);
    At(map, Op::PlaySong) = Note(10, 36);
    At(map, Op::Stop) = Cc(1, 20);
    At(map, Op::Mute) = Cc(1, 20);
    const auto actions = [&](uint8_t status, uint8_t data1, uint8_t data2) {
        return MidiControlActions(map, status, data1, data2, 24);
    };
    EXPECT_EQ(actions(0xB0, 74, 0), (TActions{{Op::Tempo, TempoBar::MaxStepTime}}));
    EXPECT_EQ(actions(0xB0, 74, 127), (TActions{{Op::Tempo, TempoBar::MinStepTime}}));
    EXPECT_EQ(actions(0xB0, 74, 64), (TActions{{Op::Tempo, TempoBar::StepTimeAt(519)}}));
    EXPECT_EQ(actions(0xB0, 7, 0), (TActions{{Op::Volume, 0}}));
    EXPECT_EQ(actions(0xB0, 7, 100), (TActions{{Op::Volume, 100}}));
    EXPECT_EQ(actions(0xB0, 75, 0), (TActions{{Op::Transposition, -32}}));
    EXPECT_EQ(actions(0xB0, 75, 127), (TActions{{Op::Transposition, 24}}));
    EXPECT_EQ(MidiControlActions(map, 0xB0, 75, 127, 0), (TActions{{Op::Transposition, 0}}));

    EXPECT_EQ(actions(0x99, 36, 1), (TActions{{Op::PlaySong, 0}}));
    EXPECT_EQ(actions(0x99, 36, 0), TActions{}) << "a note-on of velocity 0 is a note-off";
    EXPECT_EQ(actions(0x89, 36, 90), TActions{});
    EXPECT_EQ(actions(0x98, 36, 90), TActions{}) << "another channel";
    EXPECT_EQ(actions(0xB9, 36, 90), TActions{}) << "a controller of the note's number";
    EXPECT_EQ(actions(0xB0, 20, 63), TActions{});
    EXPECT_EQ(actions(0xB0, 20, 64), (TActions{{Op::Stop, 0}, {Op::Mute, 0}}));
}

} // namespace
