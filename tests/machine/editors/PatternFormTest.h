#pragma once

#include "TempDir.h"
#include "editors/PatternForm.h"
#include "midi/MidiPortRecording.h"
#include "shell/Machine.h"

#include <gtest/gtest.h>
#include <memory>

// A pattern editor over a session on a recording port; playback ticks only when the test calls
// Tick. The German message texts are in use, as after start-up.
class PatternEditor : public ::testing::Test {
protected:
    PatternEditor() : machine(Recording()) {
        machine.Session.Support().TicksByHand = true;
        machine.Session.UseTexts(LoadMessageTexts());
        editor = std::make_unique<TForm3>(machine.Session);
        listener = machine.Session.Listen([this](TChanges changes) {
            if ((changes & chStartFailed) &&
                machine.Session.LastStart() == TStartResult::DeviceBusy)
                ++busyMessages;
        });
        editor->Timer1->stop(); // tests run the refresh themselves
    }
    ~PatternEditor() override {
        machine.Session.Unlisten(listener);
        editor.reset();
    }

    std::unique_ptr<TMidiPort> Recording() {
        auto recording = std::make_unique<TRecordingMidiPort>(std::vector<std::string>{"Synth"});
        port = recording.get();
        return recording;
    }

    TWheelBar2003* Slider(int step) { return editor->ScrBar[step]; }
    int Note(int step, int p = 1) { return machine.Session.Song().Notes[p][step]; }

    // A whole slider gesture on `step` that ends on note value `note`.
    void Drag(int step, int note) {
        TWheelBar2003* bar = Slider(step);
        bar->setValue(bar->maximum() - note);
        editor->ScrollBarOnScroll(bar, TWheelBar2003::scEndScroll);
    }

    // Opens the note-length menu on `step` and picks length n.
    void SetLength(int step, int n) {
        editor->ScrollBarContextPopup(Slider(step));
        editor->LengthItems[n]->trigger();
    }

    void Tick(int count) {
        for (int i = 0; i < count; ++i)
            machine.Session.Playback().OnTick();
    }

    // Message words as the output builds them (channel 1, no transposition).
    static uint32_t NoteOn(int value, int velocity = 127) {
        return 0x90u + uint32_t(value + 35) * 256 + uint32_t(velocity) * 65536;
    }
    static uint32_t NoteOff(int value, int velocity = 127) {
        return 0x80u + uint32_t(value + 35) * 256 + uint32_t(velocity) * 65536;
    }

    bool Sent(uint32_t message) const {
        for (uint32_t word : port->ShortMessages())
            if (word == message)
                return true;
        return false;
    }

    TempDir dir;
    TRecordingMidiPort* port = nullptr;
    TMachine machine;
    std::unique_ptr<TForm3> editor;
    int listener = 0;
    int busyMessages = 0;
};
