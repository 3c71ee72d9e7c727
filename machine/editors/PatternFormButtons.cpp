#include "PatternForm.h"
#include "shell/Pk2MidForm.h"
#include "song/PatternFunctions.h"

#include <QApplication>
#include <QCursor>

// The pattern number and name, the whole-pattern buttons, the wheel and the 30 ms refresh.

namespace {

QString CaptionFor(int pattern) {
    return QString::fromStdString(PatternEditorCaption(pattern));
}

} // namespace

TKeyGrid TForm3::KeyGrid() const {
    return {CheckBox2->isChecked(), ComboBox1->currentIndex(), ComboBox2->currentIndex()};
}

int TForm3::FillPitch() const {
    return NoteValue(ScrollBar1);
}

void TForm3::ShowPattern(int p) {
    {
        const QSignalBlocker quiet(SpinEdit1);
        SpinEdit1->setMaximum(std::max(machine_.Song.PatternCount, 1) + 1);
    }
    if (SpinEdit1->value() != p) {
        SpinEdit1->setValue(p); // SpinEdit1Change runs
        return;
    }
    // The same number: only the display follows (the pattern may hold a new song's notes).
    machine_.Playback->SwitchPattern(p);
    PatternDirty = true;
    NamesDirty = true;
    RefreshSoon();
    setWindowTitle(CaptionFor(p));
    if (ValidPattern(p))
        Edit2->setText(QString::fromStdString(machine_.Song.PatternNames[p]));
}

void TForm3::SpinEdit1Change() {
    const int last = SpinEdit1->maximum() - 1;
    int value = SpinEdit1->value();
    if (value > last)
        value = 1;
    else if (value < 1)
        value = last;
    if (value != SpinEdit1->value()) {
        const QSignalBlocker quiet(SpinEdit1);
        SpinEdit1->setValue(value);
    }
    machine_.Playback->SwitchPattern(value);
    PatternDirty = true;
    RefreshSoon();
    setWindowTitle(CaptionFor(value));
    if (ValidPattern(value))
        Edit2->setText(QString::fromStdString(machine_.Song.PatternNames[value]));
    NamesDirty = true;
    RefreshSoon();
    if (machine_.PlaybackState.PlayMode == TPlayMode::Pattern)
        ResetOutput();
    // Away from the number box, so that its keys and wheel stop at the chosen pattern; a change
    // that playback made leaves the focus where the user has it.
    if (SpinEdit1->hasFocus())
        Edit1->setFocus();
}

void TForm3::Edit2Change() {
    TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    if (p < 1 || size_t(p) >= song.PatternNames.size())
        return;
    song.PatternNames[p] = Edit2->text().toStdString(); // UTF-8, as every song text
    song.SongModified = true;
}

// A new pattern from "New" or "Copy" becomes the shown, current one.
void TForm3::AddedPattern(int n) {
    if (n == NoPattern)
        return;
    machine_.Song.SongModified = true;
    ResetOutput();
    ShowPattern(n);
    LoadPatternIntoSliders(n);
    emit PatternAdded(n);
}

void TForm3::Button1Click() {
    AddedPattern(AddPattern(machine_.Song, machine_.Melodies, machine_.MidiOut->Voice, FillPitch(),
                            TrackVolume(), mainWindow_.SpinEdit2->value()));
}

void TForm3::Button2Click() {
    AddedPattern(CopyPattern(machine_.Song, machine_.Melodies, machine_.MidiOut->Voice,
                             machine_.PlaybackState.CurrentPattern,
                             mainWindow_.SpinEdit2->value()));
}

// After a whole-pattern operation: the sliders, hints and names show the song again.
void TForm3::ReloadAfter(bool changed) {
    if (!changed)
        return;
    machine_.Song.SongModified = true;
    LoadPatternIntoSliders(machine_.PlaybackState.CurrentPattern);
    NamesDirty = true;
    RefreshSoon();
}

void TForm3::Button4Click() {
    TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    if (!ValidPattern(p) || PatternHighestNote(song, p) >= song.Range)
        return;
    CheckBox2->setChecked(false);
    const bool shifted = ShiftPatternUp(song, machine_.Melodies, machine_.MidiOut->Voice, p);
    if (shifted)
        ResetOutput();
    ReloadAfter(shifted);
}

void TForm3::Button7Click() {
    TPkSong& song = machine_.Song;
    const int p = machine_.PlaybackState.CurrentPattern;
    if (!ValidPattern(p) || PatternLowestNote(song, p) < 2)
        return;
    CheckBox2->setChecked(false);
    const bool shifted = ShiftPatternDown(song, machine_.Melodies, machine_.MidiOut->Voice, p);
    if (shifted)
        ResetOutput();
    ReloadAfter(shifted);
}

void TForm3::Button8Click() {
    ReloadAfter(RotatePatternLeft(machine_.Song, machine_.Melodies, machine_.MidiOut->Voice,
                                  machine_.PlaybackState.CurrentPattern));
}

void TForm3::Button9Click() {
    ReloadAfter(RotatePatternRight(machine_.Song, machine_.Melodies, machine_.MidiOut->Voice,
                                   machine_.PlaybackState.CurrentPattern));
}

void TForm3::Button10Click() {
    const bool random = RandomizePattern(machine_.Song, machine_.Melodies, machine_.MidiOut->Voice,
                                         machine_.PlaybackState.CurrentPattern, KeyGrid());
    if (random)
        ResetOutput();
    ReloadAfter(random);
}

void TForm3::MouseOnButtonDown(int tag) {
    Timer2->setProperty("Tag", tag);
    Timer2->start();
}

void TForm3::MouseOnButtonUp() {
    Timer2->stop();
}

void TForm3::Timer2Timer() {
    const int tag = Timer2->property("Tag").toInt();
    switch (tag) {
    case 1:
        Button4Click();
        break;
    case 2:
        Button9Click();
        break;
    case 3:
        Button8Click();
        break;
    case 4:
        Button7Click();
        break;
    default:
        if (RepeatOtherButton)
            RepeatOtherButton(tag);
        break;
    }
}

void TForm3::Button3MouseDown(int y) {
    ScrollBar1->show();
    ResetDragY = y;
}

void TForm3::Button3MouseMove(int x, int y, bool leftHeld) {
    ResetDragging = false;
    if (!leftHeld)
        return;
    ScrollBar1->setVisible(x >= 0 && x < Button3->width());
    ScrollBar1->setValue(ScrollBar1->value() + y - ResetDragY);
    ResetDragY = y;
    ResetDragging = true;
}

void TForm3::Button3MouseUp(int x) {
    ScrollBar1->hide();
    ResetDragging = false;
    if (x < 0 || x >= Button3->width())
        return;
    const bool filled =
        FillPattern(machine_.Song, machine_.Melodies, machine_.MidiOut->Voice,
                    machine_.PlaybackState.CurrentPattern, FillPitch(), TrackVolume());
    if (filled)
        ResetOutput();
    ReloadAfter(filled);
}

void TForm3::CheckBox2Click() {
    ComboBox1->setEnabled(CheckBox2->isChecked());
    ComboBox2->setEnabled(CheckBox2->isChecked());
}

bool TForm3::FormMouseWheel(int delta) {
    if (delta == 0)
        return false;
    const int notch = delta > 0 ? 1 : -1; // away from the user: up, higher, further
    bool moved = false;
    if (ResetDragging) {
        ScrollBar1->setValue(ScrollBar1->value() - notch);
        moved = true;
    }
    if (OverNumberBox) {
        SpinEdit1->setValue(SpinEdit1->value() + notch);
        moved = true;
    }
    if (HoverSlider != nullptr && HoverSlider != ScrollBar1 && HoverSlider->isVisible()) {
        HoverSlider->setValue(HoverSlider->value() - notch);
        ScrollBarOnScroll(HoverSlider, TWheelBar2003::scEndScroll);
        moved = true;
    }
    return moved;
}

void TForm3::TrackPointer(const QPoint& globalPos) {
    QWidget* under = QApplication::widgetAt(globalPos);
    auto* bar = qobject_cast<QScrollBar*>(under);
    HoverSlider = bar != nullptr && bar->isVisible() && StepOf(bar) > 0 ? bar : nullptr;
    HoverSliderName = HoverSlider ? HoverSlider->objectName() : QString();
    OverNumberBox = under != nullptr && (under == SpinEdit1 || SpinEdit1->isAncestorOf(under));
}

void TForm3::Timer1Timer() {
    TPlaybackState& state = machine_.PlaybackState;
    if (state.PatternChanged.exchange(0) != 0)
        ShowPattern(machine_.PlaybackState.CurrentPattern);
    const uint32_t shown = state.ShownSteps.load(std::memory_order_acquire);
    if (shown != shownSteps_) {
        shownSteps_ = shown;
        PlayingEvent = state.PlayingEvent.load(std::memory_order_relaxed);
        ShowStep(PlayingEvent);
    }
    if (NamesDirty)
        shownotenames();
    if (PatternDirty)
        LoadPatternIntoSliders(machine_.PlaybackState.CurrentPattern);
    ShowPlayState();
    // Nothing plays and nothing waits to be shown: the editor sits still until asked again.
    if (!machine_.Playback->Playing() && !PatternDirty && !NamesDirty &&
        state.ShownSteps.load(std::memory_order_acquire) == shownSteps_)
        Timer1->stop();
}

void TForm3::RefreshSoon() {
    if (!Timer1->isActive())
        Timer1->start();
}

void TForm3::ShowStep(int n) {
    Shape1->move(n == 0 ? 1 : 10 * n + 11, Shape1->y());
    if (CheckBox1->isChecked()) {
        const int step = std::min((n + 1) / 2 + 1, int(machine_.Song.Steps));
        Edit1->setText(GetNoteDescription(step));
    }
    setWindowTitle(CaptionFor(machine_.PlaybackState.CurrentPattern));
}

void TForm3::ShowPlayState() {
    const bool patternPlays = Playing() && machine_.PlaybackState.PlayMode == TPlayMode::Pattern;
    if (SpeedButton14->isChecked() != patternPlays)
        SpeedButton14->setChecked(patternPlays);
}

void TForm3::SpeedButton14Click() {
    mainWindow_.SpeedButton3Click();
    SpeedButton14->setChecked(true);
    mainWindow_.SpeedButton1Click();
    ShowPlayState();
}

void TForm3::SpeedButton15Click() {
    mainWindow_.SpeedButton2Click();
    ShowPlayState();
}
