#include "cli/CommandLine.h"

#include "JackTestRig.h"
#include "PrivateNetwork.h"
#include "TempDir.h"
#include "WavSound.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

namespace {

struct RunResult {
    int status;
    std::string out, err;
};

RunResult Plinkora(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

const std::string OldLayout = "Plinkora Song\r\n120 ms\r\n1 Pattern\r\n3 0 5 \r\n"
                              "2 Songlines\r\n1 1 \r\n";

} // namespace

TEST(CommandLine, ConvertWritesTheFullLayout) {
    TempDir dir;
    const auto in = dir.Write("old.pks", OldLayout);
    const RunResult run = Plinkora({"--convert", in, dir.File("new.pks")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(TempDir::Read(dir.File("new.pks")),
              "Plinkora Song\r\n120 ms\r\n1 Pattern\r\n3 0 5 \r\n2 Songlines\r\n1 1 \r\n"
              "Transponition\r\n0 \r\n0 Patch\r\n-1 Device\r\n1 Channel\r\n37 Range\r\n"
              "4\r\n-\r\n4\r\n0 0 0 \r\n1 1 1 \r\n(1)\r\n0\r\n");
}

TEST(CommandLine, ConvertErrorsLeaveTheOutputUntouched) {
    TempDir dir;
    const auto out = dir.Write("out.pks", "precious");
    for (const auto& [contents, message] : std::vector<std::pair<std::string, std::string>>{
             {"MThd", "is not a Plinkora song file"},
             {"Plinkora Song\r\n1x0 ms\r\n", "'1x0' is not a valid integer value"},
             {OldLayout.substr(0, 30), "the file ends before"}}) {
        const RunResult run = Plinkora({"--convert", dir.Write("in.pks", contents), out});
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(TempDir::Read(out), "precious");
    }
    const RunResult missing = Plinkora({"--convert", dir.File("none.pks"), out});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("Cannot open file"), std::string::npos);
    EXPECT_EQ(TempDir::Read(out), "precious");
}

TEST(CommandLine, MessagesAreEnglishUnlessAnotherLanguageIsChosen) {
    TempDir dir;
    const std::vector<std::string> args = {"--convert", dir.File("none.pks"), dir.File("o.pks")};
    EXPECT_EQ(Plinkora(args).err, "Plinkora: Cannot open file " + dir.File("none.pks") + "\n");
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine(args, out, err, TLanguage::German), 1);
    EXPECT_EQ(err.str(),
              "Plinkora: Datei " + dir.File("none.pks") + " kann nicht geöffnet werden\n");
}

TEST(CommandLine, OptionsAndUsage) {
    const std::string version = Plinkora({"--version"}).out;
    EXPECT_TRUE(version.starts_with("Plinkora v1.200\nLicence: GPL-3.0-or-later ")) << version;
    EXPECT_NE(version.find("NO WARRANTY"), std::string::npos) << version;
    const RunResult help = Plinkora({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--convert"), std::string::npos);
    EXPECT_EQ(Plinkora({"--bogus"}).status, 2);
    EXPECT_EQ(Plinkora({"--convert", "only-one"}).status, 2);
}

namespace {

// Two one-step patterns on channel 3, patch 33, device 1, pattern 2 with its own transposition
// that loading replaces with pattern 1's.
const std::string ExportSong = "Plinkora Song\r\n200 ms\r\n2 Pattern\r\n1 \r\n2 \r\n"
                               "2 Songlines\r\n1 2 \r\nTransponition\r\n2 7 \r\n33 Patch\r\n"
                               "1 Device\r\n3 Channel\r\n37 Range\r\n3\r\n-\r\n8\r\n"
                               "0 \r\n0 \r\n1 \r\n1 \r\n(1) \r\n(2) \r\n0\r\n";

std::string Meta(uint8_t type, const std::string& text) {
    return std::string{'\0', '\xFF', static_cast<char>(type), static_cast<char>(text.size())} +
           text;
}

} // namespace

TEST(CommandLine, ExportMidiWritesWhatARemoteSaveWouldWrite) {
    TempDir dir;
    const auto song = dir.Write("Tune.pks", ExportSong);
    const RunResult run = Plinkora({"--export-midi", song, dir.File("Tune.mid")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, dir.File("Tune.mid") + "\n");
    const std::string file = TempDir::Read(dir.File("Tune.mid"));
    const std::string instrument = "Electric Bass (finger)";
    const std::string expectedTrack =
        std::string("\0\xFF\x58\x04\x03\x03\x12\x08", 8) +
        std::string("\0\xFF\x51\x03\x0C\x35\0", 7) + std::string("\0\xFF\x21\x01\x02", 5) +
        std::string("\0\xFF\x20\x01\x02", 5) + std::string("\0\xC2\x21", 3) +
        Meta(0x03, "Tune - " + instrument) + Meta(0x02, "(C) All rights reserved") +
        Meta(0x04, instrument) + Meta(0x01, "Created with Plinkora") +
        // note 1 + 35 + 2 = key 38 on channel 3, then note 2 + 35 + 2 = key 39 (not + 7)
        std::string("\0\x92\x26\x7F\x81\x48\x82\x26\x7F\0\x92\x27\x7F\x81\x48\x82\x27\x7F", 18) +
        std::string("\0\xFF\x2F\0", 4);
    ASSERT_GE(file.size(), 22u);
    EXPECT_EQ(file.substr(0, 14), std::string("MThd\0\0\0\x06\0\0\0\x01\x03\x20", 14));
    EXPECT_EQ(file.substr(14, 4), "MTrk");
    EXPECT_EQ(static_cast<uint8_t>(file[21]), expectedTrack.size());
    EXPECT_EQ(file.substr(22), expectedTrack);
}

TEST(CommandLine, ExportMidiRefusesWhatItCannotRead) {
    TempDir dir;
    EXPECT_NE(Plinkora({"--export-midi", dir.Write("x.pks", "MThd"), dir.File("x.mid")}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.mid")));
    EXPECT_EQ(Plinkora({"--export-midi", "only-one"}).status, 2);
}

TEST(CommandLine, ExportMidiRefusesANameThatIsNoMidiFile) {
    TempDir dir;
    const auto song = dir.Write("Tune.pks", ExportSong);
    const auto other = dir.Write("d1.mid", "not named");
    for (const char* name : {"d1.txt", "d1", "d1.MID"}) {
        const RunResult run = Plinkora({"--export-midi", song, dir.File(name)});
        EXPECT_EQ(run.status, 2) << name;
        EXPECT_EQ(run.err, "Plinkora: the MIDI file " + dir.File(name) + " does not end in .mid\n");
        EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
    }
    EXPECT_EQ(TempDir::Read(other), "not named");
}

TEST(CommandLine, ListDevicesBeginsWithTheMapper) {
    const RunResult run = Plinkora({"--list-devices"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, 12), "Midi Mapper\n");
}

// "--device jack" names the machine's own JACK port, listed last while a server runs; without
// one it cannot be opened and says why.
TEST(CommandLine, PlayOnTheJackPort) {
    if (!jacktest::JackdInstalled())
        GTEST_SKIP() << "jackd is not installed (package jackd2)";
    TempDir dir;
    const auto song = dir.Write("fast.pks", "Plinkora Song\r\n30 ms\r\n1 Pattern\r\n1 5 3 \r\n"
                                            "1 Songlines\r\n1 \r\n");
    ASSERT_EQ(setenv("JACK_DEFAULT_SERVER", "plinkora-no-such-server", 1), 0);
    const RunResult none = Plinkora({"--play", song, "--device", "jack", "--seconds", "0.1"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("device jack cannot be opened: The device JACK cannot be opened: no "
                            "JACK server is running"),
              std::string::npos)
        << none.err;

    jacktest::Server server;
    ASSERT_TRUE(server.Running());
    EXPECT_EQ(Plinkora({"--list-devices"}).out.substr(Plinkora({"--list-devices"}).out.size() - 5),
              "JACK\n");
    jacktest::Recorder recorder;
    ASSERT_EQ(setenv("PLINKORA_JACK_CONNECT", recorder.PortName().c_str(), 1), 0);
    const RunResult run = Plinkora({"--play", song, "--device", "jack", "--seconds", "0.3"});
    unsetenv("PLINKORA_JACK_CONNECT");
    EXPECT_EQ(run.status, 0) << run.err;
    size_t noteOns = 0;
    for (const jacktest::Event& e : recorder.Events())
        noteOns += (e.Bytes[0] & 0xF0) == 0x90 && e.Bytes[2] != 0;
    EXPECT_GE(noteOns, 3u);
}

namespace {

// The words of a message log, without their times: "open -1", "short 90 24 7F", ...
std::vector<std::string> LoggedCalls(const std::string& path) {
    std::vector<std::string> calls;
    std::istringstream log(TempDir::Read(path));
    for (std::string line; std::getline(log, line);)
        calls.push_back(line.substr(line.find(' ') + 1));
    return calls;
}

} // namespace

TEST(CommandLine, PlaySendsWhatTheTransportSendsAndStopsLikeStop) {
    TempDir dir;
    const auto song = dir.Write("fast.pks", "Plinkora Song\r\n30 ms\r\n2 Pattern\r\n1 0 3 \r\n"
                                            "5 6 7 \r\n2 Songlines\r\n1 2 \r\n");
    ASSERT_EQ(setenv("PLINKORA_MIDI_LOG", dir.File("midi.log").c_str(), 1), 0);
    const RunResult run = Plinkora({"--play", song, "--seconds", "0.2"});
    unsetenv("PLINKORA_MIDI_LOG");
    ASSERT_EQ(run.status, 0) << run.err;

    const auto calls = LoggedCalls(dir.File("midi.log"));
    ASSERT_GT(calls.size(), 30u);
    std::vector<std::string> start = {"open -1"};
    start.insert(start.end(), 16, "short C0 00 01"); // program 0 on every slot
    start.insert(start.end(),
                 {"short B0 00 00", "short B0 20 00", "short B0 00 00", "short B0 20 00",
                  "short C0 00 01", "short 90 24 7F", "short 80 24 7F", "short 90 26 7F",
                  "short 80 26 7F", "short 90 28 7F"}); // pattern 2 follows on the track
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + start.size()), start);
    EXPECT_EQ(calls[calls.size() - 2], "reset");
    EXPECT_EQ(calls.back(), "close");
}

TEST(CommandLine, PlayExplainsWhenTheBuiltInSynthesizerHasNoAudioOutput) {
    TempDir dir;
    const auto song = dir.Write("s.pks", OldLayout);
    ASSERT_EQ(setenv("PLINKORA_AUDIO_DRIVER", "no-such-driver", 1), 0);
    const RunResult run = Plinkora({"--play", song, "--seconds", "0.1"});
    unsetenv("PLINKORA_AUDIO_DRIVER");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("Plinkora: device -1 cannot be opened: no audio output for "
                                    "the built-in synthesizer: this FluidSynth has no driver "
                                    "\"no-such-driver\""))
        << run.err;
    EXPECT_TRUE(run.err.ends_with("; choose another MIDI device or set PLINKORA_AUDIO_DRIVER\n"))
        << "one message, not the debugger's lines after it";
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
}

TEST(CommandLine, PlayRefusesBadArguments) {
    TempDir dir;
    const auto song = dir.Write("s.pks", OldLayout);
    EXPECT_EQ(Plinkora({"--play"}).status, 2);
    const RunResult notInteger = Plinkora({"--play", song, "--pattern", "x1"});
    EXPECT_EQ(notInteger.status, 2);
    EXPECT_NE(notInteger.err.find("'x1' is not a valid integer value"), std::string::npos);
    EXPECT_EQ(Plinkora({"--play", song, "--seconds", "-1"}).status, 2);
    EXPECT_EQ(Plinkora({"--play", song, "--speed", "3"}).status, 2);
    EXPECT_EQ(Plinkora({"--play", song, "--pattern"}).status, 2);
    const RunResult noPattern = Plinkora({"--play", song, "--pattern", "2"});
    EXPECT_EQ(noPattern.status, 1);
    EXPECT_NE(noPattern.err.find("no pattern 2"), std::string::npos);
}

// The synchronisation options go with --play wherever they stand, and with no other action.
TEST(CommandLine, TheSynchronisationOptionsGoWithPlayOnly) {
    TempDir dir;
    const auto song = dir.Write("s.pks", OldLayout);
    ASSERT_EQ(setenv("PLINKORA_MIDI_LOG", dir.File("midi.log").c_str(), 1), 0);
    const RunResult play =
        Plinkora({"--play", song, "--clock", "--seconds", "0.05", "--follow-transport"});
    const RunResult clockFirst = Plinkora({"--clock", "--play", song, "--seconds", "0"});
    const RunResult noInput = Plinkora({"--play", song, "--midi-in", "none", "--seconds", "0"});
    unsetenv("PLINKORA_MIDI_LOG");
    EXPECT_EQ(play.status, 0) << play.err;
    EXPECT_EQ(clockFirst.status, 0) << clockFirst.err;
    EXPECT_EQ(noInput.status, 0) << noInput.err;

    const RunResult convert = Plinkora({"--convert", song, dir.File("o.pks"), "--clock"});
    EXPECT_EQ(convert.status, 2);
    EXPECT_TRUE(convert.err.starts_with(
        "Plinkora: --clock, --follow-transport, --link, --midi-in and --follow-clock go with "
        "--play, --serve or the windows\n"));
    EXPECT_EQ(Plinkora({"--convert", song, dir.File("o.pks"), "--follow-clock"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.File("o.pks")));
    const std::string help = Plinkora({"--help"}).out;
    EXPECT_NE(help.find("--follow-transport"), std::string::npos);
    EXPECT_NE(help.find("--midi-in none|jack|N"), std::string::npos);
    EXPECT_NE(help.find("--follow-clock"), std::string::npos);
}

TEST(CommandLine, MidiInRefusesAWordThatNamesNoInput) {
    TempDir dir;
    const auto song = dir.Write("s.pks", OldLayout);
    const RunResult usb = Plinkora({"--play", song, "--midi-in", "usb"});
    EXPECT_EQ(usb.status, 2);
    EXPECT_TRUE(usb.err.starts_with(
        "Plinkora: --midi-in needs none, jack or an input port's number, not 'usb'\n"))
        << usb.err;
    const RunResult missing = Plinkora({"--play", song, "--midi-in"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.err.starts_with("Plinkora: --midi-in needs none, jack or an input port's "
                                        "number\n"))
        << missing.err;
    EXPECT_EQ(Plinkora({"--play", song, "--midi-in", "-1"}).status, 2);
}

namespace {

// Four steps of 100 ms, the first three rests, played twice: 0.8 s, notes at 0.3 s and 0.7 s.
const std::string LateNoteSong =
    "Plinkora Song\r\n100 ms\r\n1 Pattern\r\n0 0 0 7 \r\n2 Songlines\r\n1 1 \r\n";

} // namespace

TEST(CommandLine, RenderPlaysTheTrackOnceFromItsFirstNote) {
    TempDir dir;
    const RunResult run =
        Plinkora({"--render", dir.Write("late.pks", LateNoteSong), dir.File("late.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const TWavSound sound = ReadWav(TempDir::Read(dir.File("late.wav")));
    EXPECT_EQ(sound.Channels, 2);
    EXPECT_EQ(sound.Rate, 44100);
    EXPECT_EQ(sound.Bits, 16);
    EXPECT_GE(sound.Seconds(), 0.8);
    EXPECT_LE(sound.Seconds(), 0.8 + 4.05) << "the release tail lasts a few seconds at most";
    EXPECT_NEAR(sound.FirstSoundFrame() / 44100.0, 0.3, 0.01);

    const std::string silent =
        "Plinkora Song\r\n100 ms\r\n1 Pattern\r\n0 0 0 0 \r\n6 Songlines\r\n1 1 1 1 1 1 \r\n";
    ASSERT_EQ(Plinkora({"--render", dir.Write("rest.pks", silent), dir.File("rest.wav")}).status,
              0);
    const TWavSound rest = ReadWav(TempDir::Read(dir.File("rest.wav")));
    EXPECT_GE(rest.Seconds(), 2.4) << "a track of rests still lasts its length";
    EXPECT_EQ(rest.FirstSoundFrame(), -1);
}

TEST(CommandLine, RenderRefusalsNameTheCauseAndWriteNothing) {
    TempDir dir;
    const std::string song = dir.Write("late.pks", LateNoteSong);
    const auto refused = [&](const std::string& input, const std::string& output,
                             const std::string& cause) {
        const RunResult run = Plinkora({"--render", input, output});
        EXPECT_EQ(run.status, 1) << cause;
        EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(output)) << cause;
    };
    refused(song, dir.File("late.mp3"), "late.mp3 is no sound file");
    refused(dir.File("none.pks"), dir.File("none.wav"), "Cannot open file");
    refused(dir.Write("bad.pks", "Plinkora Song\r\n1x0 ms\r\n"), dir.File("bad.wav"), "'1x0'");
    refused(song, dir.File("no/folder.wav"), "Cannot create file " + dir.File("no/folder.wav"));
    ::setenv("PLINKORA_SOUNDFONT", dir.File("gone.sf2").c_str(), 1);
    refused(song, dir.File("font.wav"), "PLINKORA_SOUNDFONT");
    ::unsetenv("PLINKORA_SOUNDFONT");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2)
        << "nothing but the two songs, no file left aside";
}

namespace {

// Another program in the Link session: the tests' Link peer, on the calling thread's network,
// writing what it sees to `output`.
pid_t StartLinkPeer(const std::vector<std::string>& commands, const std::string& output) {
    std::vector<std::string> words = {LINK_PEER_PROGRAM};
    words.insert(words.end(), commands.begin(), commands.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

} // namespace

// --play --link on a network of the test's own with another program in the session, which sets
// 150 BPM and later stops the session: the steps lie on its grid, and the stop ends them.
TEST(CommandLine, PlayWithLinkFollowsTheSessionsGridAndStop) {
    TPrivateNetwork net;
    if (!net.Failure().empty())
        GTEST_SKIP() << net.Failure();
    TempDir dir;
    const auto song =
        dir.Write("s.pks", "Plinkora Song\r\n200 ms\r\n1 Pattern\r\n"
                           "3 5 7 9 3 5 7 9 3 5 7 9 3 5 7 9 \r\n1 Songlines\r\n1 \r\n");
    const pid_t peer =
        StartLinkPeer({"peers=1", "wait=0.3", "tempo=150", "sample=1.5", "stop"}, dir.File("peer"));
    ASSERT_GT(peer, 0);
    ASSERT_EQ(setenv("PLINKORA_MIDI_LOG", dir.File("midi.log").c_str(), 1), 0);
    const RunResult run = Plinkora({"--play", song, "--link", "--seconds", "3"});
    unsetenv("PLINKORA_MIDI_LOG");
    int status = 0;
    waitpid(peer, &status, 0);
    ASSERT_EQ(run.status, 0) << run.err;

    std::ifstream seen(dir.File("peer"));
    int64_t tempoNs = 0, stopNs = 0;
    std::vector<std::pair<int64_t, double>> beats; // moment, beat
    for (std::string line; std::getline(seen, line);) {
        std::istringstream words(line);
        std::string word;
        int64_t ns = 0;
        words >> word >> ns;
        if (word == "tempo")
            tempoNs = ns;
        else if (word == "stop")
            stopNs = ns;
        else if (double beat = 0; word == "beat" && words >> beat)
            beats.emplace_back(ns, beat);
    }
    ASSERT_TRUE(tempoNs != 0 && stopNs != 0 && !beats.empty()) << "the peer saw the machine";

    std::ifstream log(dir.File("midi.log"));
    int onGrid = 0;
    for (std::string line; std::getline(log, line);) {
        std::istringstream words(line);
        int64_t us = 0;
        std::string kind, status;
        words >> us >> kind >> status;
        const int64_t ns = us * 1000;
        if (kind != "short" || status != "90" || ns < tempoNs + 600000000)
            continue;
        EXPECT_LT(ns, stopNs + 100000000) << "no step after the session stopped";
        const auto sample = std::lower_bound(beats.begin(), beats.end(), std::make_pair(ns, 0.0));
        if (sample == beats.end())
            continue;
        const double steps = (sample->second - (sample->first - ns) * 150 / 60e9) * 4;
        EXPECT_LT(std::abs(steps - std::round(steps)) * 100, 2.0) << "ms off the grid at " << ns;
        ++onGrid;
    }
    EXPECT_GE(onGrid, 6);
}
