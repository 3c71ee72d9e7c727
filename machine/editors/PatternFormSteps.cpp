#include "PatternForm.h"
#include "midi/ProgramNames.h"
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
constexpr int EndOfGesture = TWheelBar2003::scEndScroll;

} // namespace

QString TForm3::DescribeNote(int p, int v) const {
    const TLanguageTexts& texts = session_.Texts();
    if (v == 0)
        return texts.OffText.empty() ? QString("Off") : QString::fromStdString(texts.OffText);
    const TPkSong& song = session_.Song();
    const int transpose = size_t(p) < song.Transpose.size() ? song.Transpose[p] : 0;
    const int key = v + transpose + TMidiVoice::NoteBaseValue;
    if (session_.Voice().OutChannel == DrumChannel) {
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
    const TPkSong& song = session_.Song();
    const int transpose = size_t(p) < song.Transpose.size() ? song.Transpose[p] : 0;
    const int key = v + transpose + TMidiVoice::NoteBaseValue;
    return KeyNames[((key % 12) + 12) % 12];
}

QString TForm3::GetNoteDescription(int step) const {
    const TPkSong& song = session_.Song();
    const int p = CurrentPattern();
    if (p < 1 || size_t(p) >= song.Notes.size() || step < 1 || size_t(step) >= song.Notes[p].size())
        return {};
    return DescribeNote(p, song.Notes[p][step]);
}

QString TForm3::StepNoteName(int step) const {
    const TPkSong& song = session_.Song();
    const int p = CurrentPattern();
    if (step < 1 || step > song.Steps || !ValidPattern(p))
        return {};
    return NoteLetter(p, song.Notes[p][step]);
}

void TForm3::SetHint(int step) {
    if (step >= 1 && step <= StepSliderCount)
        ScrBar[step]->setToolTip(GetNoteDescription(step));
}

void TForm3::SetHints() {
    for (int k = 1; k <= std::min<int>(session_.Song().Steps, StepSliderCount); ++k)
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
    const int steps = std::min<int>(session_.Song().Steps, StepSliderCount);
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
    ScaleSliders(DefaultNote);
}

void TForm3::ScaleSliders(int fillPitch) {
    const TPkSong& song = session_.Song();
    const int p = CurrentPattern();
    Reloading = true;
    for (int k = 1; k <= StepSliderCount; ++k) {
        const bool stored = ValidPattern(p) && k <= song.Steps;
        ScrBar[k]->setRange(0, song.Range);
        ScrBar[k]->setValue(song.Range - (stored ? song.Notes[p][k] : DefaultNote));
    }
    ScrollBar1->setRange(0, song.Range);
    ScrollBar1->setValue(song.Range - fillPitch);
    Reloading = false;
}

void TForm3::LoadPatternIntoSliders(int p, int value) {
    const TPkSong& song = session_.Song();
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
    const TKeyGrid& grid = session_.KeyGrid();
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
    const int p = CurrentPattern();
    if (!ValidPattern(p))
        return;
    const int v = NoteValue(bar);
    Edit1->setText(DescribeNote(p, v));
    const QString letter = NoteLetter(p, v);
    memo[k]->setText(letter);
    const int length = session_.Song().Lengths[p][k];
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
    if (scrollCode == EndOfGesture)
        FinishEdit(StepOf(bar));
}

// The end of a slider gesture on step k: the note (with the steps it covers) takes the slider's
// value, and the new note is previewed.
void TForm3::FinishEdit(int k) {
    const std::optional<int32_t> before = session_.SetStepNote(k, NoteValue(ScrBar[k]));
    if (!before)
        return;
    LastPreviewNote = *before;
    const TPkSong& song = session_.Song();
    const int p = CurrentPattern();
    // The step that sounds now: event n shows the start of step (n + 1) div 2 + 1.
    const bool stopped = !Playing();
    PlayingEvent = session_.Transport().PlayingEvent.load(std::memory_order_relaxed);
    const int playingStep = std::clamp((PlayingEvent + 1) / 2 + 1, 1, int(song.Steps));
    if (stopped || song.Notes[p][playingStep] != LastPreviewNote)
        PreviewStep(0);
    if (stopped || session_.PreviewWhilePlaying())
        PreviewStep(k);
}

void TForm3::PreviewStep(int step) {
    if (step == 0) {
        session_.PreviewNoteOff(LastPreviewNote);
        return;
    }
    if (!session_.HasPreviewNote(step) || !session_.OpenForPreview() || Timer3->isActive())
        return;
    session_.PreviewStepOn(step);
    previewedStep_ = step;
    Timer3->setInterval(session_.Song().StepTime);
    Timer3->start();
}

void TForm3::Timer3Timer() {
    Timer3->stop();
    session_.PreviewStepOff(previewedStep_);
}

void TForm3::ScrollBarContextPopup(QScrollBar* bar) {
    HoverSlider = bar;
    PopupPattern = CurrentPattern();
    PopupStep = StepOf(bar);
    const TPkSong& song = session_.Song();
    for (int n = 1; n <= StepSliderCount; ++n)
        LengthItems[n]->setVisible(n <= song.Steps - PopupStep + 1);
    if (ValidPattern(PopupPattern) && PopupStep >= 1 && PopupStep <= song.Steps &&
        song.Lengths[PopupPattern][PopupStep] == 1)
        LengthItems[1]->setVisible(false);
}

void TForm3::TonlaengenClick(int length) {
    session_.SetNoteLength(PopupPattern, PopupStep, length);
}
