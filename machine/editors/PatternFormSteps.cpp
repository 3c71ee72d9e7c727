#include "PatternForm.h"
#include "midi/ProgramNames.h"
#include "shell/Pk2MidForm.h"
#include "song/PatternFunctions.h"

#include <algorithm>

// The step sliders: their texts, their positions from the song, the edits they make and the tone
// preview of an edit.

namespace {

constexpr int SingleWidth = 16;
constexpr int SliderHeight = 200;
constexpr int DrumChannel = 9; // MIDI channel 10
constexpr int FirstGmDrum = FirstPercussionKey;
constexpr int LastGmDrum = 81;
constexpr int PreviewVelocity = 127;
constexpr int EndOfGesture = TWheelBar2003::scEndScroll;

} // namespace

QString TForm3::DescribeNote(int p, int v) const {
    const TLanguageTexts& texts = machine_.Texts;
    if (v == 0)
        return texts.OffText.empty() ? QString("Off") : QString::fromStdString(texts.OffText);
    const TPkSong& song = machine_.Song;
    const int transpose = size_t(p) < song.Transpose.size() ? song.Transpose[p] : 0;
    const int key = v + transpose + TMidiVoice::NoteBaseValue;
    if (machine_.MidiOut->Voice.OutChannel == DrumChannel) {
        if (key < FirstGmDrum || key > LastGmDrum)
            return texts.NoteDescriptionText.empty()
                       ? QString("Not used in GM")
                       : QString::fromStdString(texts.NoteDescriptionText);
        const std::string_view name = PercussionName(key);
        return QString::fromUtf8(name.data(), int(name.size()));
    }
    const int pitchClass = ((key % 12) + 12) % 12;
    const int octave = (key - pitchClass) / 12;
    return QString(KeyNames[pitchClass]) + QString::number(octave);
}

QString TForm3::NoteLetter(int p, int v) const {
    if (v == 0)
        return " --";
    const TPkSong& song = machine_.Song;
    const int transpose = size_t(p) < song.Transpose.size() ? song.Transpose[p] : 0;
    const int key = v + transpose + TMidiVoice::NoteBaseValue;
    return KeyNames[((key % 12) + 12) % 12];
}

QString TForm3::GetNoteDescription(int step) const {
    const TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    if (p < 1 || size_t(p) >= song.Notes.size() || step < 1 || size_t(step) >= song.Notes[p].size())
        return {};
    return DescribeNote(p, song.Notes[p][step]);
}

QString TForm3::StepNoteName(int step) const {
    const TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    if (step < 1 || step > song.Steps || !ValidPattern(p))
        return {};
    return NoteLetter(p, song.Notes[p][step]);
}

void TForm3::SetHint(int step) {
    if (step >= 1 && step <= StepSliderCount)
        ScrBar[step]->setToolTip(GetNoteDescription(step));
}

void TForm3::SetHints() {
    for (int k = 1; k <= std::min<int>(machine_.Song.Steps, StepSliderCount); ++k)
        SetHint(k);
}

void TForm3::shownotenames() {
    for (int k = 1; k <= StepSliderCount; ++k)
        memo[k]->setText(StepNoteName(k));
    NamesDirty = false;
}

void TForm3::SetSliderWidth(int step, int width) {
    ScrBar[step]->resize(width, SliderHeight);
}

void TForm3::HideScrollbars() {
    const int steps = std::min<int>(machine_.Song.Steps, StepSliderCount);
    for (int k = 1; k <= StepSliderCount; ++k) {
        ScrBar[k]->setVisible(k <= steps);
        memo[k]->setVisible(k <= steps);
    }
    const int w = SingleWidth;
    const int width = (steps - 1) * (StepPitch - w) + steps * w + 1;
    Panel1->resize(width, Panel1->height());
    Panel4->resize(width, Panel4->height());
}

void TForm3::ChangeRange() {
    const TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    Reloading = true;
    for (int k = 1; k <= StepSliderCount; ++k) {
        const bool stored = ValidPattern(p) && k <= song.Steps;
        ScrBar[k]->setRange(0, song.Range);
        ScrBar[k]->setValue(song.Range - (stored ? song.Notes[p][k] : DefaultNote));
    }
    ScrollBar1->setRange(0, song.Range);
    ScrollBar1->setValue(song.Range - DefaultNote);
    Reloading = false;
}

void TForm3::LoadPatternIntoSliders(int p, int value) {
    const TPkSong& song = machine_.Song;
    Reloading = true;
    if (p == 0) {
        for (int k = 1; k <= StepSliderCount; ++k) {
            ScrBar[k]->setValue(ScrBar[k]->maximum() - value);
            SetSliderWidth(k, SingleWidth);
        }
    } else if (ValidPattern(p)) {
        const int steps = std::min<int>(song.Steps, StepSliderCount);
        for (int k = 1; k <= steps; ++k) {
            TWheelBar2003* bar = ScrBar[k];
            if (bar->maximum() != song.Range)
                bar->setRange(0, song.Range);
            bar->setValue(song.Range - song.Notes[p][k]);
            switch (song.Gates[p][k]) {
            case gtStart: {
                const int length = std::clamp<int>(song.Lengths[p][k], 1, steps - k + 1);
                SetSliderWidth(k, StepPitch * length - 4);
                bar->show();
                break;
            }
            case gtHold:
            case gtEnd:
                bar->hide();
                SetSliderWidth(k, SingleWidth);
                break;
            default:
                bar->show();
                SetSliderWidth(k, SingleWidth);
                break;
            }
            SetHint(k);
        }
    }
    NamesDirty = true;
    RefreshSoon();
    Reloading = false;
    PatternDirty = false;
}

void TForm3::ScrollBarOnChange(QScrollBar* bar) {
    const int step = StepOf(bar);
    int& last = step > 0 ? sliderValues_[step] : fillValue_;
    const int previous = last;
    last = bar->value();
    if (Reloading)
        return;
    if (bar->value() != previous)
        MovingUp = bar->value() < previous; // the top of a slider is the highest note
    if (CheckBox2->isChecked() && SnapToKeyGrid(bar))
        return; // the move to the scale note shows the note
    if (step > 0)
        ShowNoteWhileMoving(bar);
}

// A value outside the key grid's scale moves one more position in the direction of travel
// (against it at the end of the slider). True when the slider was moved.
bool TForm3::SnapToKeyGrid(QScrollBar* bar) {
    const TKeyGrid grid = KeyGrid();
    const int v = NoteValue(bar);
    if (ScaleContains(grid.Mode, grid.Key, v))
        return false;
    int target = SnapToScale(v, !MovingUp, grid.Mode, grid.Key);
    if (target < 0 || target > bar->maximum())
        target = SnapToScale(v, MovingUp, grid.Mode, grid.Key);
    target = std::clamp(target, 0, bar->maximum());
    if (target == v)
        return false;
    bar->setValue(bar->maximum() - target);
    return true;
}

void TForm3::ShowNoteWhileMoving(QScrollBar* bar) {
    const int k = StepOf(bar);
    const int p = machine_.PlaybackState.CurrentPattern;
    if (!ValidPattern(p))
        return;
    const int v = NoteValue(bar);
    Edit1->setText(DescribeNote(p, v));
    const QString letter = NoteLetter(p, v);
    memo[k]->setText(letter);
    const int length = machine_.Song.Lengths[p][k];
    for (int j = k + 1; j < k + length && j <= StepSliderCount; ++j)
        memo[j]->setText(letter);
}

void TForm3::ScrollBarOnScroll(QScrollBar* bar, int scrollCode) {
    if (Reloading)
        return;
    if (scrollCode == TWheelBar2003::scLineUp || scrollCode == TWheelBar2003::scPageUp)
        MovingUp = true;
    else if (scrollCode == TWheelBar2003::scLineDown || scrollCode == TWheelBar2003::scPageDown)
        MovingUp = false;
    machine_.Song.SongModified = true;
    if (scrollCode == EndOfGesture)
        FinishEdit(bar->objectName().mid(6).toInt());
}

// The end of a slider gesture on step k: the note (with the steps it covers) takes the slider's
// value, the timeline is rebuilt, and the new note is previewed.
void TForm3::FinishEdit(int k) {
    TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    if (!ValidPattern(p) || k < 1 || k > std::min<int>(song.Steps, StepSliderCount))
        return;
    TWheelBar2003* bar = ScrBar[k];
    const int value = NoteValue(bar);
    const int length = std::clamp<int>(song.Lengths[p][k], 1, song.Steps - k + 1);
    LastPreviewNote = song.Notes[p][k];
    for (int j = k; j < k + length; ++j) {
        song.Notes[p][j] = value;
        SetHint(j);
    }
    bar->setValue(bar->maximum() - song.Notes[p][k]);
    BuildMelody(song, machine_.Melodies, machine_.MidiOut->Voice, p);

    // The step that sounds now: event n shows the start of step (n + 1) div 2 + 1.
    const bool stopped = !Playing();
    PlayingEvent = machine_.PlaybackState.PlayingEvent.load(std::memory_order_relaxed);
    const int playingStep = std::clamp((PlayingEvent + 1) / 2 + 1, 1, int(song.Steps));
    if (stopped || song.Notes[p][playingStep] != LastPreviewNote)
        PreviewStep(0);
    if (stopped || machine_.Playback->PreviewWhilePlaying())
        PreviewStep(k);
}

void TForm3::PreviewStep(int step) {
    TMidiOut& out = *machine_.MidiOut;
    if (step == 0) {
        out.SendShort(
            out.Voice.BuildMessage(LastPreviewNote, 0x80 + out.Voice.OutChannel, PreviewVelocity));
        return;
    }
    const TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    if (!ValidPattern(p) || step > song.Steps || song.Notes[p][step] == 0)
        return;
    TMidiSupport& support = *machine_.MidiSupport;
    if (!support.DeviceOpen) {
        const bool opened = out.Open();
        const int openResult = out.LastResult;
        if (opened)
            mainWindow_.SpinEdit1Change(); // the patch again, on the fresh port
        if (!support.DeviceOpen) {
            if (openResult == MidiResult::Allocated && DeviceBusyMessage)
                DeviceBusyMessage();
            return;
        }
    }
    if (Timer3->isActive())
        return;
    out.SendShort(
        out.Voice.BuildMessage(song.Notes[p][step], 0x90 + out.Voice.OutChannel, PreviewVelocity));
    Timer3->setProperty("Tag", step);
    Timer3->setInterval(song.StepTime);
    Timer3->start();
}

void TForm3::Timer3Timer() {
    Timer3->stop();
    TMidiOut& out = *machine_.MidiOut;
    const TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    const int step = Timer3->property("Tag").toInt();
    if (!ValidPattern(p) || step < 1 || step > song.Steps)
        return;
    out.SendShort(
        out.Voice.BuildMessage(song.Notes[p][step], 0x80 + out.Voice.OutChannel, PreviewVelocity));
}

void TForm3::ScrollBarContextPopup(QScrollBar* bar) {
    HoverSlider = bar;
    HoverSliderName = bar->objectName();
    PopupPattern = machine_.PlaybackState.CurrentPattern;
    PopupStep = HoverSliderName.mid(6).toInt();
    const TPkSong& song = machine_.Song;
    for (int n = 1; n <= StepSliderCount; ++n)
        LengthItems[n]->setVisible(n <= song.Steps - PopupStep + 1);
    if (ValidPattern(PopupPattern) && PopupStep >= 1 && PopupStep <= song.Steps &&
        song.Lengths[PopupPattern][PopupStep] == 1)
        LengthItems[1]->setVisible(false);
}

void TForm3::TonlaengenClick(QAction* item) {
    const int length = item->objectName().mid(1).toInt();
    TPkSong& song = machine_.Song;
    if (!SetNoteLength(song, PopupPattern, PopupStep, length))
        return;
    song.SongModified = true;
    BuildMelody(song, machine_.Melodies, machine_.MidiOut->Voice, PopupPattern);
    if (PopupPattern == machine_.PlaybackState.CurrentPattern)
        LoadPatternIntoSliders(PopupPattern);
}
