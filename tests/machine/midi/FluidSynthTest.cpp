#include "TempDir.h"
#include "midi/MidiBasics.h"
#include "midi/MidiDebugLog.h"
#include "midi/MidiPortFluidSynth.h"
#include "midi/MidiPortSystem.h"
#include "midi/Playback.h"
#include "song/Melodies.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Renders into a raw 16-bit file through FluidSynth's file audio driver: no sound card needed.
TFluidSynthOptions FileOutput(const std::string& path) {
    return {{},
            {"file"},
            {{"audio.file.name", path},
             {"audio.file.type", "raw"},
             {"audio.file.format", "s16"},
             {"synth.sample-rate", "22050"}}};
}

int PeakOf(const std::string& samples) {
    int peak = 0;
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        int16_t sample = 0;
        std::memcpy(&sample, samples.data() + i, 2);
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

class FluidSynth : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(FindDefaultSoundFont().empty())
            << "no General MIDI soundfont installed (Debian package fluid-soundfont-gm)";
    }
    TempDir dir;
};

} // namespace

TEST_F(FluidSynth, NotesSentSoundInTheRenderedFile) {
    const std::string path = dir.File("out.raw");
    TFluidSynthMapper mapper(FileOutput(path));
    std::unique_ptr<TMidiDevice> device;
    ASSERT_EQ(mapper.Open(device), 0);
    std::unique_ptr<TMidiDevice> second;
    EXPECT_EQ(mapper.Open(second), 4) << "one device at a time";

    EXPECT_EQ(device->ShortMsg(0xB0 + 0x00 * 256), 0); // bank 0
    EXPECT_EQ(device->ShortMsg(0xC0 + 56 * 256), 0);   // Trumpet
    EXPECT_EQ(device->ShortMsg(0x90 + 60 * 256 + 127 * 65536), 0);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(device->ShortMsg(0x80 + 60 * 256), 0);
    EXPECT_EQ(device->ShortMsg(0x80 + 61 * 256), 0) << "a note-off for a silent key is no error";
    EXPECT_EQ(device->ShortMsg(0x90 + 128 * 256), 11) << "key 128 is no MIDI data";
    EXPECT_EQ(device->Reset(), 0);
    EXPECT_EQ(device->Close(), 0);
    device.reset();

    const std::string samples = TempDir::Read(path);
    ASSERT_GT(samples.size(), 22050u / 10) << "at least a tenth of a second was rendered";
    EXPECT_GT(PeakOf(samples), 1000) << "the note is audible";

    // The loaded synthesizer is kept: a second open only restarts the output.
    ASSERT_EQ(mapper.Open(device), 0);
    EXPECT_EQ(device->Close(), 0);
}

TEST_F(FluidSynth, SilenceWithoutNotes) {
    const std::string path = dir.File("silence.raw");
    TFluidSynthMapper mapper(FileOutput(path));
    std::unique_ptr<TMidiDevice> device;
    ASSERT_EQ(mapper.Open(device), 0);
    std::this_thread::sleep_for(100ms);
    device.reset(); // destruction closes
    EXPECT_LT(PeakOf(TempDir::Read(path)), 50) << "at most dither";
}

TEST_F(FluidSynth, FailuresGiveFittingCodes) {
    std::unique_ptr<TMidiDevice> device;
    TFluidSynthOptions noSoundFont = FileOutput(dir.File("a.raw"));
    noSoundFont.SoundFont = dir.File("missing.sf2");
    EXPECT_EQ(TFluidSynthMapper(noSoundFont).Open(device), 6);

    EXPECT_EQ(SoundFontProblem(noSoundFont.SoundFont),
              Message(TMessageKind::BadSoundFont, {Plain(noSoundFont.SoundFont)}));

    dir.Write("broken.sf2", "not a soundfont");
    noSoundFont.SoundFont = dir.File("broken.sf2");
    EXPECT_EQ(TFluidSynthMapper(noSoundFont).Open(device), 6);
    EXPECT_FALSE(SoundFontProblem(noSoundFont.SoundFont).Empty());
    EXPECT_TRUE(SoundFontProblem("").Empty()) << "the system's soundfont";
    EXPECT_TRUE(SoundFontProblem(FindDefaultSoundFont()).Empty());

    TFluidSynthMapper noAudio(FileOutput("/nonexistent-folder/out.raw"));
    EXPECT_EQ(noAudio.Open(device), 68);
    ASSERT_EQ(noAudio.Failure().Kind, TMessageKind::NoAudioOutput);
    EXPECT_TRUE(noAudio.Failure().Args.at(0).Value.starts_with("tried file ("))
        << DescribeMessage(noAudio.Failure());

    TFluidSynthOptions unknownSetting = FileOutput(dir.File("b.raw"));
    unknownSetting.Settings.push_back({"synth.no-such-setting", "1"});
    EXPECT_EQ(TFluidSynthMapper(unknownSetting).Open(device), 11);
    TFluidSynthOptions badNumber = FileOutput(dir.File("c.raw"));
    badNumber.Settings.push_back({"synth.gain", "loud"});
    EXPECT_EQ(TFluidSynthMapper(badNumber).Open(device), 11);
    EXPECT_FALSE(device);
}

TEST_F(FluidSynth, MapperOpensThroughTheOutputAndReportsFailures) {
    TSystemMidiOptions options;
    options.Mapper = FileOutput(dir.File("mapper.raw"));
    TSystemMidiPort port(options);
    TMidiSupport support;
    TMidiDebugLog debugger;
    TMidiOut out(port, support, &debugger);
    ASSERT_TRUE(out.Open());
    EXPECT_TRUE(out.SendShort(0x90 + 64 * 256 + 100 * 65536));
    out.CloseDevice();
    EXPECT_EQ(debugger.Lines().front(), "midiOutOpen: Device #-1  no error  #0");

    options.Mapper.SoundFont = dir.File("missing.sf2");
    TSystemMidiPort withoutSoundFont(options);
    TMidiOut failing(withoutSoundFont, support, &debugger);
    EXPECT_FALSE(failing.Open());
    EXPECT_FALSE(support.DeviceOpen);
    EXPECT_EQ(debugger.Lines().back(), "midiOutOpen: Device #-1  no device driver present  #6");
}

// Trying the audio drivers must never start a sound server: JACK's client is told not to before
// any driver is made.
TEST_F(FluidSynth, OpeningTellsJackNotToStartAServer) {
    unsetenv("JACK_NO_START_SERVER");
    TFluidSynthMapper mapper(FileOutput(dir.File("jack.raw")));
    std::unique_ptr<TMidiDevice> device;
    ASSERT_EQ(mapper.Open(device), 0);
    EXPECT_STREQ(std::getenv("JACK_NO_START_SERVER"), "1");
}

// The message a user reads when the built-in synthesizer finds no audio output: in the debugger
// line of the open and as the reason the transport did not start.
TEST_F(FluidSynth, AnAudioDriverThatCannotStartIsReportedPlainly) {
    ASSERT_EQ(setenv("PLINKORA_AUDIO_DRIVER", "no-such-driver", 1), 0);
    TSystemMidiPort port(SystemMidiOptionsFromEnvironment());
    unsetenv("PLINKORA_AUDIO_DRIVER");
    TMidiSupport support;
    TMidiDebugLog debugger;
    TMidiOut out(port, support, &debugger);
    TPkSong song;
    TTempoInfo tempo;
    TMelodies melodies;
    TPlaybackState state;
    TPlayback playback(song, melodies, out, support, tempo, state);
    InitSong(song, tempo, DefaultNote, -1, 0, "Song");
    BuildAllMelodies(song, melodies, out.Voice);

    EXPECT_EQ(playback.PlayPattern(), TStartResult::Unavailable);
    EXPECT_FALSE(support.DeviceOpen);
    EXPECT_FALSE(support.TimerRunning());
    ASSERT_EQ(out.OpenFailure.Kind, TMessageKind::NoAudioOutput);
    const std::string why = out.OpenFailure.Args.at(0).Value;
    EXPECT_TRUE(why.starts_with("this FluidSynth has no driver \"no-such-driver\" (it has "))
        << why;
    EXPECT_NE(why.find("alsa"), std::string::npos) << "the drivers it has are named";
    EXPECT_EQ(debugger.Lines().front(), "midiOutOpen: Device #-1  port no longer connected  #68: " +
                                            out.Wording(out.OpenFailure));
}
