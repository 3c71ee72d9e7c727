#include "midi/MidiBasics.h"
#include "midi/MidiDebugLog.h"
#include "midi/MidiPortRecording.h"
#include "midi/Midi_Errors.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

using Kind = TMidiCall::Kind;

uint32_t Word(uint32_t status, uint32_t data1, uint32_t data2) {
    return status + data1 * 256 + data2 * 65536;
}

class MidiOut : public ::testing::Test {
protected:
    TRecordingMidiPort port{{"Synth A", "Synth B"}};
    TMidiSupport support;
    TMidiDebugLog debugger;
    TMidiOut out{port, support, &debugger};

    void OpenAndForget() {
        ASSERT_TRUE(out.Open());
        port.Clear();
        debugger.Clear();
    }
    const std::string& LastLine() const { return debugger.Lines().back(); }
};

} // namespace

TEST(MessageWord, NoteValueIsKeyMinus35PlusTransposition) {
    TMidiOut out;
    EXPECT_EQ(out.Voice.BuildMessage(10, 0x90, 127), Word(0x90, 45, 127));
    out.Voice.GlobalTranspose = -3;
    EXPECT_EQ(out.Voice.BuildMessage(10, 0x80, 0), Word(0x80, 42, 0));
    out.Voice.OutChannel = 9;
    out.Voice.GlobalTranspose = 12;
    EXPECT_EQ(out.Voice.BuildMessage(1, 0x99, 100), Word(0x99, 48, 100));
}

TEST(MessageWord, ProgramChangeOnTheOutputChannelIgnoresTransposition) {
    TMidiOut out;
    out.Voice.OutChannel = 3;
    out.Voice.GlobalTranspose = 7;
    EXPECT_EQ(out.Voice.BuildMessage(56 - 35, 0xC3, 0), Word(0xC3, 56, 0));
    // A program change status of another channel is transposed like a note.
    EXPECT_EQ(out.Voice.BuildMessage(56 - 35, 0xC0, 0), Word(0xC0, 63, 0));
}

TEST(MessageWord, PlainSumsWithoutMasking) {
    TMidiOut out;
    // Program 0 is stored as the byte 221; 221 + 35 = 256 carries into the unused third byte,
    // and the data byte itself is 0.
    const uint32_t word = out.Voice.BuildMessage(static_cast<uint8_t>(0 - 35), 0xC0, 0);
    EXPECT_EQ(word, 0xC0u + 256u * 256u);
    EXPECT_EQ((word >> 8) & 0xFF, 0u);
    EXPECT_EQ(out.Voice.BuildMessage(100, 0x90, 200), 0x90u + 135u * 256u + 200u * 65536u);
}

TEST(MidiOutDevices, CountComesFromThePortAtConstruction) {
    TRecordingMidiPort port{{"One", "Two", "Three"}};
    TMidiSupport support;
    TMidiOut out(port, support, nullptr);
    EXPECT_EQ(out.NumDevs, 3);
    EXPECT_EQ(out.CapsSize, 52);
    EXPECT_EQ(out.DeviceId, -1);
    EXPECT_EQ(TMidiOut().NumDevs, 0);
}

TEST_F(MidiOut, OpenReportsAndSetsTheFlag) {
    out.DeviceId = 1;
    EXPECT_TRUE(out.Open());
    EXPECT_TRUE(support.DeviceOpen);
    EXPECT_EQ(out.LastResult, 0);
    EXPECT_NE(out.Handle.load(), nullptr);
    EXPECT_EQ(port.Calls(), (std::vector<TMidiCall>{{Kind::Open, 1}}));
    ASSERT_EQ(debugger.Lines().size(), 1u);
    EXPECT_EQ(LastLine(), "midiOutOpen: Device #1  no error  #0");
}

TEST_F(MidiOut, FailedOpensKeepThePortClosed) {
    out.DeviceId = 2; // only devices 0 and 1 exist
    EXPECT_FALSE(out.Open());
    EXPECT_FALSE(support.DeviceOpen);
    EXPECT_EQ(out.LastResult, 2);
    EXPECT_EQ(LastLine(), "midiOutOpen: Device #2  device ID out of range  #2");

    out.DeviceId = -1;
    port.OpenResult = 4;
    EXPECT_FALSE(out.Open());
    EXPECT_EQ(out.LastResult, 4);
    EXPECT_EQ(out.Handle.load(), nullptr);
    EXPECT_EQ(LastLine(), "midiOutOpen: Device #-1  device already allocated  #4");
}

TEST(MidiOutWithoutDebugger, OpenWritesNoLineAndStillWorks) {
    TRecordingMidiPort port;
    TMidiSupport support;
    TMidiOut out(port, support, nullptr);
    EXPECT_TRUE(out.Open());
    EXPECT_TRUE(out.SendShort(0x90));
    EXPECT_TRUE(out.Close());
}

TEST(MidiOutWithoutPort, OpenFailsWithNoDriver) {
    TMidiOut out;
    EXPECT_FALSE(out.Open());
    EXPECT_EQ(out.LastResult, 6);
}

TEST_F(MidiOut, OpeningAgainReleasesTheDeviceStillOpen) {
    ASSERT_TRUE(out.Open());
    ASSERT_TRUE(out.Open()); // the recording port would answer Allocated if the first stayed open
    EXPECT_TRUE(port.DeviceIsOpen());
    EXPECT_EQ(port.Calls(), (std::vector<TMidiCall>{{Kind::Open, -1}, {Kind::Open, -1}}));
}

TEST_F(MidiOut, SendShortReportsEveryResult) {
    OpenAndForget();
    EXPECT_TRUE(out.SendShort(Word(0x90, 60, 100)));
    EXPECT_EQ(LastLine(), "midiOutShortMsg:   no error  #0");
    port.ShortResult = 68;
    EXPECT_FALSE(out.SendShort(Word(0x80, 60, 0)));
    EXPECT_EQ(out.LastResult, 68);
    EXPECT_EQ(LastLine(), "midiOutShortMsg:   port no longer connected  #68");
    EXPECT_EQ(port.ShortMessages(),
              (std::vector<uint32_t>{Word(0x90, 60, 100), Word(0x80, 60, 0)}));
}

TEST_F(MidiOut, SendShortWithoutAnOpenPortFailsWithInvalidHandle) {
    EXPECT_FALSE(out.SendShort(Word(0x90, 60, 100)));
    EXPECT_EQ(out.LastResult, 5);
    EXPECT_EQ(LastLine(), "midiOutShortMsg:   device handle is invalid  #5");

    ASSERT_TRUE(out.Open());
    ASSERT_TRUE(out.Close());
    EXPECT_FALSE(out.SendShort(Word(0x90, 60, 100))) << "the closed port's handle";
    EXPECT_EQ(out.LastResult, 5);
    EXPECT_TRUE(port.ShortMessages().empty());
}

TEST_F(MidiOut, CloseReportsAndClearsTheFlag) {
    out.DeviceId = 0;
    ASSERT_TRUE(out.Open());
    port.CloseResult = 7;
    EXPECT_FALSE(out.Close());
    EXPECT_FALSE(support.DeviceOpen);
    EXPECT_EQ(out.LastResult, 7);
    EXPECT_EQ(out.Handle.load(), nullptr);
    EXPECT_FALSE(port.DeviceIsOpen());
    EXPECT_EQ(LastLine(), "Close: Device #0  memory allocation error  #7");

    EXPECT_FALSE(out.Close()) << "nothing left to close";
    EXPECT_EQ(LastLine(), "Close: Device #0  device handle is invalid  #5");
}

TEST_F(MidiOut, AllNotesOffGoesStraightThroughAndSkipsKeysAbove127) {
    OpenAndForget();
    out.Voice.OutChannel = 2;
    out.LastResult = 68;
    out.AllNotesOff();
    const auto words = port.ShortMessages();
    ASSERT_EQ(words.size(), 93u); // values 0..92 are keys 35..127
    EXPECT_EQ(words.front(), Word(0x82, 35, 0));
    EXPECT_EQ(words.back(), Word(0x82, 127, 0));
    EXPECT_EQ(out.LastResult, 68) << "no result kept";
    EXPECT_TRUE(debugger.Lines().empty()) << "no line written";

    port.Clear();
    out.Voice.GlobalTranspose = -32;
    out.AllNotesOff();
    EXPECT_EQ(port.ShortMessages().size(), 125u); // keys 3..127
}

TEST_F(MidiOut, ResetSilencesThenResetsAndReports) {
    OpenAndForget();
    EXPECT_TRUE(out.Reset());
    const auto calls = port.Calls();
    ASSERT_EQ(calls.size(), 94u);
    EXPECT_EQ(calls.back().What, Kind::Reset);
    EXPECT_EQ(debugger.Lines(), std::vector<std::string>{"MidiOutReset:   no error  #0"});

    port.ResetResult = 1;
    EXPECT_FALSE(out.Reset());
    EXPECT_EQ(out.LastResult, 1);
}

TEST_F(MidiOut, ResetWithThePortClosedReportsInvalidHandle) {
    EXPECT_FALSE(out.Reset());
    EXPECT_EQ(out.LastResult, 5);
    EXPECT_EQ(LastLine(), "MidiOutReset:   device handle is invalid  #5");
}

TEST_F(MidiOut, CloseDeviceResetsThenCloses) {
    OpenAndForget();
    out.CloseDevice();
    EXPECT_FALSE(support.DeviceOpen);
    const auto calls = port.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].What, Kind::Reset);
    EXPECT_EQ(calls.back().What, Kind::Close);
    EXPECT_EQ(debugger.Lines(), (std::vector<std::string>{"MidiOutReset:   no error  #0",
                                                          "Close: Device #-1  no error  #0"}));
}

TEST_F(MidiOut, SetPatchWithThePortClosedOnlyStoresTheProgram) {
    EXPECT_EQ(out.SetPatch(56), "Trumpet");
    for (uint8_t program : out.Voice.Programs)
        EXPECT_EQ(program, 56 - 35);
    EXPECT_EQ(out.SetPatch(0), "Acoustic Grand Piano");
    EXPECT_EQ(out.Voice.Programs[15], 221);
    EXPECT_EQ(port.Size(), 0u);
    EXPECT_TRUE(debugger.Lines().empty());
}

TEST_F(MidiOut, SetPatchWithThePortOpenSendsSixteenProgramChanges) {
    OpenAndForget();
    out.Voice.OutChannel = 4;
    out.Voice.GlobalTranspose = 5;
    EXPECT_EQ(out.SetPatch(127), "Gunshot");
    EXPECT_EQ(port.ShortMessages(), std::vector<uint32_t>(16, Word(0xC4, 127, 0)));
    EXPECT_EQ(debugger.Lines().size(), 16u);
}

TEST_F(MidiOut, SelectBankSendsCoarseAndFineBankSelect) {
    OpenAndForget();
    out.Voice.OutChannel = 15;
    out.SelectBank(5);
    EXPECT_EQ(port.ShortMessages(),
              (std::vector<uint32_t>{Word(0xBF, 0x00, 5), Word(0xBF, 0x20, 0)}));
    EXPECT_EQ(debugger.Lines().size(), 2u);
}

TEST_F(MidiOut, SelectBankWithThePortClosedStillReportsBothSends) {
    out.SelectBank(1);
    EXPECT_EQ(debugger.Lines(),
              std::vector<std::string>(2, "midiOutShortMsg:   device handle is invalid  #5"));
}

TEST(MidiOutLifetime, DestructionClosesAnOpenDeviceQuietly) {
    TRecordingMidiPort port;
    TMidiSupport support;
    TMidiDebugLog debugger;
    {
        TMidiOut out(port, support, &debugger);
        ASSERT_TRUE(out.Open());
    }
    EXPECT_FALSE(port.DeviceIsOpen());
    EXPECT_EQ(debugger.Lines().size(), 1u);
}

// The playback tick keeps sending while the user-interface thread closes and reopens the port
// (a device change during playback). Every send must reach an open device or fail with
// InvalidHandle; a send on a released device would show up under AddressSanitizer.
TEST(MidiOutThreads, SendsRaceSafelyWithCloseAndOpen) {
    TRecordingMidiPort port({}, 1 << 20);
    TMidiSupport support;
    TMidiOut out(port, support, nullptr);
    ASSERT_TRUE(out.Open());
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread tick([&] {
        while (!stop.load()) {
            const int32_t result = out.OutShortMsg(Word(0x90, 60, 1));
            if (result != 0 && result != 5)
                failures.fetch_add(1);
        }
    });
    for (int i = 0; i < 300; ++i) {
        out.Close();
        out.Open();
    }
    stop = true;
    tick.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(port.Dropped(), 0u);
}
