// Every command word the controller sends, as the bytes a machine receives: the word, CR LF,
// the argument line (also when it is empty), or a bare word.

#include "FakeLink.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

struct TWord {
    const char* action;
    std::function<void(TClientCore&, const QString& folder)> send;
    QByteArray bytes; // "<folder>" stands for the working folder
};

TEST(CommandWords, EveryWordReachesTheMachineByteForByte) {
    const std::vector<TWord> words = {
        {"start", [](TClientCore& c, auto&) { c.StopAll(); }, "CONNECT\r\n1\r\n"},
        {"start", [](TClientCore& c, auto&) { c.StopAll(); }, "LAYOUT\r\n2\r\n"},
        {"start", [](TClientCore& c, auto&) { c.StopAll(); }, "SETVOLUME\r\n0\r\n"},
        {"song", [](TClientCore& c, auto&) { c.PlaySong(); }, "PLAYSONG\r\n0\r\n"},
        {"pattern", [](TClientCore& c, auto&) { c.PlayPattern(); }, "PLAYPATTERN\r\n0\r\n"},
        {"stop", [](TClientCore& c, auto&) { c.StopAll(); }, "STOP\r\n0\r\n"},
        {"reset", [](TClientCore& c, auto&) { c.MidiReset(); }, "MIDIRESET\r\n0\r\n"},
        {"next", [](TClientCore& c, auto&) { c.NextPattern(); }, "NEXTPATTERN\r\n\r\n"},
        {"previous", [](TClientCore& c, auto&) { c.PreviousPattern(); }, "PREVIUSPATTERN\r\n\r\n"},
        {"up", [](TClientCore& c, auto&) { c.ShiftPatternUp(); }, "SHIFTPATTERNUP\r\n\r\n"},
        {"down", [](TClientCore& c, auto&) { c.ShiftPatternDown(); }, "SHIFTPATTERNDOWN\r\n\r\n"},
        {"copy", [](TClientCore& c, auto&) { c.CopyPattern(); }, "COPYPATTERN\r\n\r\n"},
        {"tempo", [](TClientCore& c, auto&) { c.SetSpeed(830); }, "SETSPEED\r\n830\r\n"},
        {"skin", [](TClientCore& c, auto&) { c.Skin(); }, "SKIN"},
        {"layout", [](TClientCore& c, auto&) { c.Layout(1); }, "LAYOUT\r\n1\r\n"},
        {"minimise", [](TClientCore& c, auto&) { c.Minimize(); }, "MINIMIZE\r\n\r\n"},
        {"restore", [](TClientCore& c, auto&) { c.Restore(); }, "MAXIMIZE\r\n\r\n"},
        {"frame play", [](TClientCore& c, auto&) { c.PlayPatternOn(1); }, "PLAYPATTERN\r\n0\r\n"},
        {"frame stop", [](TClientCore& c, auto&) { c.StopOn(1); }, "STOP\r\n0\r\n"},
        {"mute", [](TClientCore& c, auto&) { c.ToggleMute(1); }, "MUTE\r\n0\r\n"},
        {"volume", [](TClientCore& c, auto&) { c.SetVolume(1, 40); }, "SETVOLUME\r\n40\r\n"},
        {"save question", [](TClientCore& c, auto&) { c.NeedsSaving(); }, "DOYOUNEEDSAVE\r\n\r\n"},
        {"new", [](TClientCore& c, auto&) { c.NewProject(); }, "LOAD\r\n<folder>default1.pks\r\n"},
        {"save", [](TClientCore& c, const QString& f) { c.SaveProjectAs(f + "p.pkp"); },
         "SAVE\r\n<folder>p.pkp\r\n"},
        {"song folder", [](TClientCore& c, auto&) { c.ChooseProjectDirectory("/d"); },
         "DIRECTORY\r\n/d\r\n"},
        {"MIDI folder", [](TClientCore& c, auto&) { c.ChooseMidiDirectory("/m"); },
         "MIDIDIRECTORY\r\n/m\r\n"},
        {"export", [](TClientCore& c, const QString& f) { c.StartMidiExport(f + "x.mid"); },
         "SAVEMIDI\r\n<folder>x\r\n"},
        {"stop machine", [](TClientCore& c, auto&) { c.StopMachine(1); }, "EXIT\r\n0\r\n"},
        {"close", [](TClientCore& c, auto&) { c.CloseAll(); }, "Exit"},
    };
    for (const TWord& word : words) {
        TFakeController c;
        c.core->StartMachine(1);
        word.send(*c.core, c.Folder());
        QByteArray expected = word.bytes;
        expected.replace("<folder>", c.Folder().toUtf8());
        EXPECT_TRUE(c.Fake(1).wire.contains(expected))
            << word.action << ": " << expected.toStdString() << " not among what was sent";
    }
}

} // namespace
