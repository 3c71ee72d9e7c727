#include "PatternForm.h"
#include "song/PatternFunctions.h"

#include <QApplication>
#include <QCursor>

// The pattern number and name, the whole-pattern buttons, the wheel and the 30 ms refresh.

namespace {

QString CaptionFor(int pattern) {
    return QString::fromStdString(PatternEditorCaption(pattern));
}

} // namespace

TKeyGrid TForm3::KeyGridOfControls() const {
    return {CheckBox2->isChecked(), ComboBox1->currentIndex(), ComboBox2->currentIndex()};
}

int TForm3::FillPitch() const {
    return NoteValue(ScrollBar1);
}

void TForm3::ShowPattern() {
    const int p = CurrentPattern();
    {
        const QSignalBlocker quiet(SpinEdit1);
        SpinEdit1->setMaximum(std::max(session_.Song().PatternCount, 1) + 1);
        SpinEdit1->setValue(p);
    }
    PatternDirty = true;
    NamesDirty = true;
    RefreshSoon();
    setWindowTitle(CaptionFor(p));
    if (ValidPattern(p))
        Edit2->setText(QString::fromStdString(session_.Song().PatternNames[p]));
}

// The number box wraps past either end; the box shows where the session went.
void TForm3::SpinEdit1Change() {
    session_.SelectPattern(SpinEdit1->value());
    ShowPattern();
    // Away from the number box, so that its keys and wheel stop at the chosen pattern.
    if (SpinEdit1->hasFocus())
        Edit1->setFocus();
}

void TForm3::Edit2Change() {
    session_.SetPatternName(Edit2->text().toStdString()); // UTF-8, as every song text
}

void TForm3::Button1Click() {
    session_.AddPattern(FillPitch());
}

void TForm3::Button2Click() {
    session_.CopyPattern();
}

void TForm3::Button4Click() {
    session_.ShiftPatternUp();
}

void TForm3::Button7Click() {
    session_.ShiftPatternDown();
}

void TForm3::Button8Click() {
    session_.RotatePatternLeft();
}

void TForm3::Button9Click() {
    session_.RotatePatternRight();
}

void TForm3::Button10Click() {
    session_.RandomizePattern();
}

void TForm3::MouseOnButtonDown(int tag) {
    repeatTag_ = tag;
    Timer2->start();
}

void TForm3::MouseOnButtonUp() {
    Timer2->stop();
}

void TForm3::Timer2Timer() {
    switch (repeatTag_) {
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
    session_.FillPattern(FillPitch());
}

void TForm3::CheckBox2Click() {
    ComboBox1->setEnabled(CheckBox2->isChecked());
    ComboBox2->setEnabled(CheckBox2->isChecked());
    session_.SetKeyGrid(KeyGridOfControls());
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
    OverNumberBox = under != nullptr && (under == SpinEdit1 || SpinEdit1->isAncestorOf(under));
}

void TForm3::Timer1Timer() {
    const TPlaybackState& state = session_.Transport();
    const uint32_t shown = state.ShownSteps.load(std::memory_order_acquire);
    if (shown != shownSteps_) {
        shownSteps_ = shown;
        PlayingEvent = state.PlayingEvent.load(std::memory_order_relaxed);
        ShowStep(PlayingEvent);
    }
    if (NamesDirty)
        shownotenames();
    if (PatternDirty)
        LoadPatternIntoSliders(CurrentPattern());
    Panel2->ShowPlayState();
    // Nothing plays and nothing waits to be shown: the editor sits still until asked again.
    if (!Playing() && !PatternDirty && !NamesDirty &&
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
        const int step = std::min((n + 1) / 2 + 1, int(session_.Song().Steps));
        Edit1->setText(GetNoteDescription(step));
    }
    setWindowTitle(CaptionFor(CurrentPattern()));
}
