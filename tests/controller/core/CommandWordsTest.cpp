// Every command word the controller sends, as the bytes a machine receives: the word, CR LF,
// the argument line (also when it is empty), or a bare word.

#include "FakeLink.h"
#include "RemoteWords.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

namespace W = RemoteWords;

// A command word with its argument line, as a macro carries them.
QByteArray Command(const char* word, const char* argument) {
    return QByteArray(word) + "\r\n" + argument + "\r\n";
}

struct TWord {
    const char* action;
    std::function<void(TClientCore&, const QString& folder)> send;
    QByteArray bytes; // "<folder>" stands for the working folder
};

TEST(CommandWords, EveryWordReachesTheMachineByteForByte) {
    const std::vector<TWord> words = {
        {"start", [](TClientCore& c, auto&) { c.StopAll(); }, Command(W::Connect, "1")},
        {"start", [](TClientCore& c, auto&) { c.StopAll(); }, Command(W::Layout, "2")},
        {"start", [](TClientCore& c, auto&) { c.StopAll(); }, Command(W::SetVolume, "0")},
        {"song", [](TClientCore& c, auto&) { c.PlaySong(); }, Command(W::PlaySong, "0")},
        {"pattern", [](TClientCore& c, auto&) { c.PlayPattern(); }, Command(W::PlayPattern, "0")},
        {"stop", [](TClientCore& c, auto&) { c.StopAll(); }, Command(W::Stop, "0")},
        {"reset", [](TClientCore& c, auto&) { c.MidiReset(); }, Command(W::MidiReset, "0")},
        {"next", [](TClientCore& c, auto&) { c.NextPattern(); }, Command(W::NextPattern, "")},
        {"previous", [](TClientCore& c, auto&) { c.PreviousPattern(); },
         Command(W::PreviousPattern, "")},
        {"up", [](TClientCore& c, auto&) { c.ShiftPatternUp(); }, Command(W::ShiftPatternUp, "")},
        {"down", [](TClientCore& c, auto&) { c.ShiftPatternDown(); },
         Command(W::ShiftPatternDown, "")},
        {"copy", [](TClientCore& c, auto&) { c.CopyPattern(); }, Command(W::CopyPattern, "")},
        {"tempo", [](TClientCore& c, auto&) { c.SetSpeed(830); }, Command(W::SetSpeed, "830")},
        {"skin", [](TClientCore& c, auto&) { c.Skin(); }, QByteArray(W::Skin)},
        {"layout", [](TClientCore& c, auto&) { c.Layout(1); }, Command(W::Layout, "1")},
        {"minimise", [](TClientCore& c, auto&) { c.Minimize(); }, Command(W::Minimize, "")},
        {"restore", [](TClientCore& c, auto&) { c.Restore(); }, Command(W::Maximize, "")},
        {"frame play", [](TClientCore& c, auto&) { c.PlayPatternOn(1); },
         Command(W::PlayPattern, "0")},
        {"frame stop", [](TClientCore& c, auto&) { c.StopOn(1); }, Command(W::Stop, "0")},
        {"mute", [](TClientCore& c, auto&) { c.ToggleMute(1); }, Command(W::Mute, "0")},
        {"volume", [](TClientCore& c, auto&) { c.SetVolume(1, 40); }, Command(W::SetVolume, "40")},
        {"save question", [](TClientCore& c, auto&) { c.NeedsSaving(); },
         Command(W::DoYouNeedSave, "")},
        {"new", [](TClientCore& c, auto&) { c.NewProject(); },
         Command(W::Load, "<folder>default1.pks")},
        {"save", [](TClientCore& c, const QString& f) { c.SaveProjectAs(f + "p.pkp"); },
         Command(W::Save, "<folder>p.pkp")},
        {"song folder", [](TClientCore& c, auto&) { c.ChooseProjectDirectory("/d"); },
         Command(W::Directory, "/d")},
        {"MIDI folder", [](TClientCore& c, auto&) { c.ChooseMidiDirectory("/m"); },
         Command(W::MidiDirectory, "/m")},
        {"export", [](TClientCore& c, const QString& f) { c.StartMidiExport(f + "x.mid"); },
         Command(W::SaveMidi, "<folder>x")},
        {"stop machine", [](TClientCore& c, auto&) { c.StopMachine(1); }, Command(W::Exit, "0")},
        {"close", [](TClientCore& c, auto&) { c.CloseAll(); }, QByteArray(W::ExitOnClose)},
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
