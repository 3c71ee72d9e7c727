#include "TempDir.h"
#include "midi/MidiBasics.h"
#include "midi/MidiDebugLog.h"
#include "midi/MidiPortAlsa.h"
#include "midi/MidiPortLog.h"
#include "midi/MidiPortRecording.h"
#include "midi/MidiPortSystem.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <thread>

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The lines of a message log without their time stamps; checks that each line has one and that
// they never go backwards.
std::vector<std::string> LogEntries(const std::string& text) {
    static const std::regex Line(R"(^(\d+) (.*)$)");
    std::vector<std::string> entries;
    long long previous = 0;
    for (const std::string& line : SplitLines(text)) {
        std::smatch match;
        if (!std::regex_match(line, match, Line)) {
            ADD_FAILURE() << "malformed log line: " << line;
            continue;
        }
        const long long time = std::stoll(match[1]);
        EXPECT_GE(time, previous);
        previous = time;
        entries.push_back(match[2]);
    }
    return entries;
}

} // namespace

TEST(ShortMessageBytes, LengthFollowsTheStatus) {
    TShortMessage m;
    ASSERT_TRUE(SplitShortMessage(0x7F3C90, m));
    EXPECT_EQ(m.Length, 3);
    EXPECT_EQ(m.Bytes[0], 0x90);
    EXPECT_EQ(m.Bytes[1], 0x3C);
    EXPECT_EQ(m.Bytes[2], 0x7F);
    // A program change is two bytes; what the third byte of the word holds does not matter.
    ASSERT_TRUE(SplitShortMessage(0xC0 + 256 * 256, m));
    EXPECT_EQ(m.Length, 2);
    EXPECT_EQ(m.Bytes[1], 0);
    ASSERT_TRUE(SplitShortMessage(0xF8, m));
    EXPECT_EQ(m.Length, 1);
}

TEST(ShortMessageBytes, InvalidWordsAreRefused) {
    TShortMessage m;
    EXPECT_FALSE(SplitShortMessage(0, m)) << "no status";
    EXPECT_FALSE(SplitShortMessage(0x3C40, m)) << "running status is not a short message";
    EXPECT_FALSE(SplitShortMessage(0x008090, m)) << "key 128";
    EXPECT_FALSE(SplitShortMessage(0x803C90, m)) << "velocity 128";
    EXPECT_FALSE(SplitShortMessage(0xF0, m)) << "system exclusive";
    EXPECT_FALSE(SplitShortMessage(0xF4, m)) << "undefined";
}

TEST(DeviceList, MapperFirstThenEveryDeviceWithNamesCut) {
    TRecordingMidiPort port({"USB Keys", std::string(40, 'x'), std::string(30, 'a') + "é"});
    EXPECT_EQ(OutputDeviceList(port),
              (std::vector<std::string>{"Midi Mapper", "USB Keys", std::string(31, 'x'),
                                        std::string(30, 'a')}))
        << "a cut never splits a UTF-8 character";
    TRecordingMidiPort none;
    EXPECT_EQ(OutputDeviceList(none), std::vector<std::string>{"Midi Mapper"});
}

TEST(MessageLog, WritesTheLinesOfEachMomentAsItEnds) {
    TempDir dir;
    const std::string path = dir.File("midi.log");
    std::unique_ptr<TMidiDevice> device;
    ASSERT_EQ(OpenLogMidiDevice(path, -1, device), 0);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->ShortMsg(0x7F3C90), 0);
    device->Flush();
    const auto written = [&] { return LogEntries(TempDir::Read(path)).size() == 2; };
    for (int wait = 0; wait < 1000 && !written(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(LogEntries(TempDir::Read(path)),
              (std::vector<std::string>{"open -1", "short 90 3C 7F"}))
        << "the line reaches the file when its moment ends, not when the log closes";
    EXPECT_EQ(device->ShortMsg(0x00AB0C), 0);
    EXPECT_EQ(device->Reset(), 0);
    EXPECT_EQ(device->Close(), 0);
    const std::string text = TempDir::Read(path);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(LogEntries(text), (std::vector<std::string>{"open -1", "short 90 3C 7F",
                                                          "short 0C AB 00", "reset", "close"}));
}

TEST(MessageLog, AppendsAndDestructionCloses) {
    TempDir dir;
    const std::string path = dir.File("midi.log");
    dir.Write("midi.log", "");
    std::unique_ptr<TMidiDevice> device;
    ASSERT_EQ(OpenLogMidiDevice(path, 3, device), 0);
    for (uint32_t i = 0; i < 5000; ++i)
        ASSERT_EQ(device->ShortMsg(0x80 + (i % 128) * 256), 0);
    device.reset(); // destruction without Close still writes the close line
    ASSERT_EQ(OpenLogMidiDevice(path, 4, device), 0);
    EXPECT_EQ(device->Close(), 0);

    const auto entries = LogEntries(TempDir::Read(path));
    ASSERT_EQ(entries.size(), 5004u);
    EXPECT_EQ(entries[0], "open 3");
    EXPECT_EQ(entries[1], "short 80 00 00");
    EXPECT_EQ(entries[5000], "short 80 07 00");
    EXPECT_EQ(entries[5001], "close");
    EXPECT_EQ(entries[5002], "open 4");
    EXPECT_EQ(entries[5003], "close");
}

TEST(MessageLog, UnwritableFileFailsToOpen) {
    std::unique_ptr<TMidiDevice> device;
    EXPECT_EQ(OpenLogMidiDevice("/nonexistent-folder/midi.log", -1, device), 6);
    EXPECT_FALSE(device);
    EXPECT_EQ(OpenLogMidiDevice("/dev/full", -1, device), 6) << "not even a line can be written";
    EXPECT_FALSE(device);
}

TEST(SystemPort, EveryDeviceOpensOntoTheMessageLogWhenOneIsNamed) {
    TempDir dir;
    const std::string path = dir.File("midi.log");
    ASSERT_EQ(setenv("PLINKORA_MIDI_LOG", path.c_str(), 1), 0);
    auto port = MakeSystemMidiPort();
    unsetenv("PLINKORA_MIDI_LOG");

    TMidiSupport support;
    TMidiDebugLog debugger;
    TMidiOut out(*port, support, &debugger);
    ASSERT_TRUE(out.Open());
    out.SelectBank(2);
    out.SetPatch(56);
    out.CloseDevice();
    EXPECT_EQ(debugger.Lines().front(), "midiOutOpen: Device #-1  no error  #0");

    const auto entries = LogEntries(TempDir::Read(path));
    ASSERT_EQ(entries.size(), 1u + 2u + 16u + 93u + 2u);
    EXPECT_EQ(entries[0], "open -1");
    EXPECT_EQ(entries[1], "short B0 00 02");
    EXPECT_EQ(entries[2], "short B0 20 00");
    EXPECT_EQ(entries[3], "short C0 38 00");
    EXPECT_EQ(entries[19], "short 80 23 00");
    EXPECT_EQ(entries[entries.size() - 2], "reset");
    EXPECT_EQ(entries.back(), "close");
}

// The id after the ALSA devices is JACK's, listed or not (a stored choice): without a server it
// fails with its own message.
TEST(SystemPort, DeviceIdsOutsideTheListAreRefused) {
    ASSERT_EQ(setenv("JACK_DEFAULT_SERVER", "plinkora-no-such-server", 1), 0);
    TSystemMidiOptions options;
    options.LogPath = "/dev/null";
    TSystemMidiPort port(options);
    const int32_t count = port.DeviceCount();
    std::unique_ptr<TMidiDevice> device;
    EXPECT_EQ(port.Open(count + 1, device), 2);
    EXPECT_EQ(port.Open(-2, device), 2);
    EXPECT_FALSE(device);
    EXPECT_TRUE(port.OpensUnlisted(count));
    EXPECT_EQ(port.Open(count, device), 6);
    EXPECT_EQ(port.OpenFailure(), Message(TMessageKind::JackNotRunning));
    EXPECT_FALSE(device);
    unsetenv("JACK_DEFAULT_SERVER");
}

// Build machines have no ALSA sequencer: the list must then be empty, and neither RtMidi nor the
// ALSA library may throw or print anything.
TEST(AlsaPorts, ListingAndOpeningNeverThrowNorPrint) {
    testing::internal::CaptureStderr();
    const bool available = AlsaSequencerAvailable();
    const auto names = AlsaMidiOutputNames();
    std::unique_ptr<TMidiDevice> device;
    const int32_t beyond = OpenAlsaMidiOutput(static_cast<int32_t>(names.size()), device);
    const auto inputNames = AlsaMidiInputNames();
    TMidiInputSink sink;
    std::unique_ptr<TAlsaMidiInput> input;
    const int32_t inputBeyond =
        OpenAlsaMidiInput(static_cast<int32_t>(inputNames.size()), sink, input);
    const std::string printed = testing::internal::GetCapturedStderr();

    EXPECT_EQ(printed, "");
    EXPECT_NE(beyond, 0);
    EXPECT_FALSE(device);
    EXPECT_NE(inputBeyond, 0);
    EXPECT_FALSE(input);
    for (const auto& list : {names, inputNames})
        for (const auto& name : list)
            EXPECT_LE(name.size(), MaxDeviceNameLength);
    if (!available) {
        EXPECT_TRUE(names.empty());
        EXPECT_TRUE(inputNames.empty());
        EXPECT_EQ(inputBeyond, MidiResult::NoDriver);
    }
}

TEST(AlsaPorts, SystemPortWithoutSequencerListsOnlyTheMapper) {
    if (AlsaSequencerAvailable())
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    ASSERT_EQ(setenv("JACK_DEFAULT_SERVER", "plinkora-no-such-server", 1), 0);
    TSystemMidiPort port{TSystemMidiOptions{}};
    EXPECT_EQ(OutputDeviceList(port), std::vector<std::string>{"Midi Mapper"});
    std::unique_ptr<TMidiDevice> device;
    EXPECT_EQ(port.Open(1, device), 2);
    EXPECT_TRUE(port.InputNames().empty());
    TMidiInputSink sink;
    EXPECT_EQ(port.OpenInput({TMidiInputChoice::TKind::Alsa, 0}, sink), MidiResult::NoDriver);
    EXPECT_EQ(port.OpenInput({}, sink), MidiResult::Ok);
    unsetenv("JACK_DEFAULT_SERVER");
}

// Without a server the Jack input fails as the JACK output does, and holds no client.
TEST(SystemPort, JackInputWithoutServerFailsWithItsMessage) {
    ASSERT_EQ(setenv("JACK_DEFAULT_SERVER", "plinkora-no-such-server", 1), 0);
    TSystemMidiPort port{TSystemMidiOptions{}};
    TMidiInputSink sink;
    EXPECT_EQ(port.OpenInput({TMidiInputChoice::TKind::Jack, 0}, sink), MidiResult::NoDriver);
    EXPECT_EQ(port.OpenFailure(), Message(TMessageKind::JackNotRunning));
    EXPECT_EQ(port.JackClient(), nullptr);
    EXPECT_EQ(port.OpenInput({}, sink), MidiResult::Ok);
    EXPECT_TRUE(port.OpenFailure().Empty());
    unsetenv("JACK_DEFAULT_SERVER");
}
