#include "midi/MidiDebugLog.h"
#include "midi/Midi_Errors.h"
#include "midi/ProgramNames.h"

#include <gtest/gtest.h>
#include <set>

TEST(MidiErrorText, KnownCodes) {
    EXPECT_EQ(MidiErrorText(0), " no error ");
    EXPECT_EQ(MidiErrorText(2), " device ID out of range ");
    EXPECT_EQ(MidiErrorText(12),
              " handle being used simultaneously on another thread (eg callback) ");
    EXPECT_EQ(MidiErrorText(64), " header not prepared ");
    EXPECT_EQ(MidiErrorText(71), " thru device \"eating\" a message ");
}

TEST(MidiErrorText, EveryCodeOfTheTwoRangesHasItsOwnText) {
    std::set<std::string> texts;
    for (int32_t code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 64, 65, 66, 67, 68, 69, 70, 71})
        texts.insert(MidiErrorText(code));
    EXPECT_EQ(texts.size(), 21u);
    EXPECT_EQ(texts.count("Unknown MIDI Error"), 0u);
}

TEST(MidiErrorText, UnknownCodes) {
    for (int32_t code : {-1, 13, 63, 72, 1000})
        EXPECT_EQ(MidiErrorText(code), "Unknown MIDI Error") << code;
}

TEST(MidiErrorText, DeviceBusyTextCanBeReplaced) {
    EXPECT_EQ(MidiErrorText(4), " device already allocated ");
    SetDeviceBusyText(" Das gewählte Gerät wird bereits verwendet ");
    EXPECT_EQ(MidiErrorText(4), " Das gewählte Gerät wird bereits verwendet ");
    SetDeviceBusyText(" device already allocated ");
}

TEST(LogMidiResult, ReturnsTheTextAndAppendsTheLine) {
    TMidiDebugLog log;
    EXPECT_EQ(LogMidiResult(log, "MidiOutReset: ", 6), " no device driver present  #6");
    EXPECT_EQ(LogMidiResult(log, "midiOutShortMsg: ", 99), "Unknown MIDI Error #99");
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"MidiOutReset:   no device driver present  #6",
                                                     "midiOutShortMsg:  Unknown MIDI Error #99"}));
}

TEST(MidiDebugLog, NeverHoldsMoreThan51Lines) {
    TMidiDebugLog log;
    int changes = 0;
    log.Changed = [&] { ++changes; };
    for (int i = 1; i <= 51; ++i)
        log.Append("line " + std::to_string(i));
    EXPECT_EQ(log.Lines().size(), 51u);
    log.Append("line 52");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"line 52"});
    for (int i = 0; i < 120; ++i) {
        log.Append("more");
        EXPECT_LE(log.Lines().size(), 51u);
    }
    log.Clear();
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(changes, 52 + 120 + 1);
}

TEST(ProgramNames, TableHoldsProgramsThenPercussionKeys) {
    for (int32_t i = 0; i < ProgramNameCount; ++i) {
        EXPECT_FALSE(ProgramName(i).empty()) << i;
        EXPECT_LE(ProgramName(i).size(), 30u) << i;
    }
    EXPECT_EQ(ProgramName(0), "Acoustic Grand Piano");
    EXPECT_EQ(ProgramName(17), "Percuss. Organ");
    EXPECT_EQ(ProgramName(56), "Trumpet");
    EXPECT_EQ(ProgramName(81), "Lead 2 (saw tooth)");
    EXPECT_EQ(ProgramName(115), "Wood block");
    EXPECT_EQ(ProgramName(127), "Gunshot");
    EXPECT_EQ(ProgramName(128), "Acoustic Bass Drum");
    EXPECT_EQ(ProgramName(174), "Open Triangle");
    EXPECT_TRUE(ProgramName(-1).empty());
    EXPECT_TRUE(ProgramName(175).empty());
}

TEST(ProgramNames, ChannelTenNamesDrumKits) {
    const std::pair<int32_t, const char*> kits[] = {
        {0, "Standard Kit"},    {8, "Room Kit"},       {16, "Power Kit"},
        {24, "Electronic Kit"}, {25, "TR-808 Kit"},    {32, "Jazz Kit"},
        {40, "Brush Kit"},      {48, "Orchestra Kit"}, {56, "SFX Kit"}};
    for (const auto& [program, kit] : kits)
        EXPECT_EQ(ChannelProgramName(10, program), kit) << program;
    EXPECT_EQ(ChannelProgramName(10, 1), "Drum Kit");
    EXPECT_EQ(ChannelProgramName(10, 127), "Drum Kit");
    EXPECT_EQ(ChannelProgramName(9, 56), "Trumpet");
    EXPECT_EQ(ChannelProgramName(11, 0), "Acoustic Grand Piano");
}

TEST(ProgramNames, PercussionNamesByKey) {
    EXPECT_EQ(PercussionName(35), "Acoustic Bass Drum");
    EXPECT_EQ(PercussionName(38), "Acoustic Snare");
    EXPECT_EQ(PercussionName(42), "Closed Hi-Hat");
    EXPECT_EQ(PercussionName(49), "Crash Cymbal 1");
    EXPECT_EQ(PercussionName(56), "Cowbell");
    EXPECT_EQ(PercussionName(81), "Open Triangle");
    EXPECT_TRUE(PercussionName(34).empty());
    EXPECT_TRUE(PercussionName(82).empty());
}
