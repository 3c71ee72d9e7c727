#pragma once

#include "WheelBar2003.h"
#include "session/MachineSession.h"
#include "song/scales.h"
#include "widgets/DropWatch.h"
#include "widgets/PlayPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

class QPainter;

// The pattern editor: one vertical slider per step (top = highest note, bottom = rest) with the
// step's note letter above it, the note-length menu on each slider, whole-pattern buttons (new,
// copy, reset to one pitch, random, shift, rotate), the key grid, the pattern number and name,
// a tone preview of every edit and the step cursor that follows playback.
//
// Every edit is an operation of the session, which rebuilds the pattern's timeline, so playback
// hears it on its next pass; the editor shows what the session reports. The playback tick never
// calls this window: Timer1 (30 ms) polls the values the tick publishes (the shown event, a
// pattern change in track mode) and applies the redraws that the dirty flags ask for.
class TForm3 : public QWidget {
    Q_OBJECT
public:
    static constexpr int StepSliderCount = MaxSteps;
    static constexpr int StepPitch = 20; // pixels per step

    explicit TForm3(TMachineSession& session, QWidget* parent = nullptr);
    ~TForm3() override;

    // Step controls, index 1..16 (entry 0 unused): sliders "ScrBar1".."ScrBar16" and the note
    // boxes memo1..memo16 above them.
    std::array<TWheelBar2003*, StepSliderCount + 1> ScrBar{};
    std::array<QLabel*, StepSliderCount + 1> memo{};

    QFrame* Panel1;             // the grey area behind the sliders
    QFrame* Panel4;             // the strip the step cursor runs in
    QFrame* Shape1;             // the step cursor
    QCheckBox* CheckBox1;       // the note box follows playback
    QLineEdit* Edit1;           // the full name of the note being edited or played
    QSpinBox* SpinEdit1;        // the shown pattern, 1..PatternCount, wrapping
    QLineEdit* Edit2;           // the shown pattern's name
    QPushButton* Button1;       // "New"
    QPushButton* Button2;       // "Copy"
    QPushButton* Button3;       // "Reset": drag to choose the pitch, release to fill
    QPushButton* Button10;      // "Random"
    QScrollBar* ScrollBar1;     // the fill pitch, shown while "Reset" is dragged
    QToolButton* SpeedButton1;  // rotate left
    QToolButton* SpeedButton2;  // rotate right
    QToolButton* SpeedButton3;  // every note up
    QToolButton* SpeedButton4;  // every note down
    QWidget* Panel3;            // the key-grid panel
    QCheckBox* CheckBox2;       // key grid on/off
    QComboBox* ComboBox1;       // key
    QComboBox* ComboBox2;       // "Dur", "Moll"
    TPlayPanel* Panel2;         // the play/stop panel
    QToolButton* SpeedButton14; // "PAT.": play the pattern
    QToolButton* SpeedButton15; // stop
    QTimer* Timer1;             // 30 ms: dirty flags, playback cursor, pointer tracking
    QTimer* Timer2;             // 200 ms auto-repeat of the shift and rotate buttons
    QTimer* Timer3;             // end of a tone preview
    QMenu* PopupMenu1;          // note lengths "l1".."l16"
    std::array<QAction*, StepSliderCount + 1> LengthItems{};

    // Editor state.
    int PlayingEvent = 0;      // the timeline index playback last showed
    bool NamesDirty = false;   // the note boxes must be refreshed from the song
    bool PatternDirty = false; // the sliders must be refreshed from the song
    // Runs the refresh timer until what is dirty has been shown (it runs only while needed).
    void RefreshSoon();
    bool Reloading = false;            // sliders are being set from the song
    bool MovingUp = false;             // direction of the last slider movement
    bool ResetDragging = false;        // "Reset" is being dragged
    bool OverNumberBox = false;        // the pointer is over the pattern number box
    QScrollBar* HoverSlider = nullptr; // the visible step slider under the pointer
    int ResetDragY = 0;
    int LastPreviewNote = 0; // the note value a slider held before its last edit
    int PopupStep = 0;       // where the note-length menu was opened
    int PopupPattern = 0;

    // Texts.
    QString GetNoteDescription(int step) const; // full name, for hints and the note box
    QString StepNoteName(int step) const;       // letter for the box above the slider
    void SetHint(int step);
    void SetHints();
    // The texts of the current language that are not captions: the note-length menu's items and
    // the key grid's modes.
    void ShowTableTexts();
    // After the language changed: the step hints, and the note box when it shows one of
    // `before`'s texts.
    void ShowTexts(const TLanguageTexts& before);
    void shownotenames();

    // Sliders.
    void CreateScrollBars();
    void HideScrollbars();
    // Every slider takes the song's range; the fill pitch goes back to the default note.
    void ChangeRange();
    // Every slider takes the song's range: the step sliders show their notes, the fill pitch
    // `fillPitch`.
    void ScaleSliders(int fillPitch);
    // p = 0 sets all 16 sliders to `value` as one-step notes.
    void LoadPatternIntoSliders(int p, int value = DefaultNote);
    void ScrollBarOnChange(QScrollBar* bar);
    void ScrollBarOnScroll(QScrollBar* bar, int scrollCode);
    void ScrollBarContextPopup(QScrollBar* bar);
    // The note-length menu's item for `length` steps.
    void TonlaengenClick(int length);

    // The shown pattern and playback display.
    void ShowPattern();   // number box, caption and name of the current pattern
    void ShowStep(int n); // the cursor, note box and caption for timeline event n
    // Sounds the note of `step` for one step length; 0 silences the last edited note.
    void PreviewStep(int step);

    // Handlers, as the controls call them.
    void SpinEdit1Change();
    void Edit2Change();
    void Button1Click();  // "New"
    void Button2Click();  // "Copy"
    void Button4Click();  // up
    void Button7Click();  // down
    void Button8Click();  // rotate left
    void Button9Click();  // rotate right
    void Button10Click(); // "Random"
    // Auto-repeat: tags 1 up, 2 rotate right, 3 rotate left, 4 down.
    void MouseOnButtonDown(int tag);
    void MouseOnButtonUp();
    // "Reset" drag; x and y are relative to the button.
    void Button3MouseDown(int y);
    void Button3MouseMove(int x, int y, bool leftHeld);
    void Button3MouseUp(int x);
    void CheckBox2Click();
    // One wheel notch (delta > 0: away from the user). True when it moved something.
    bool FormMouseWheel(int delta);
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();

    // Finds the slider and number box under the global position (Timer1 does it every tick).
    void TrackPointer(const QPoint& globalPos);
    // The key grid as the three controls show it.
    TKeyGrid KeyGridOfControls() const;
    // The pitch "Reset" and "New" fill with.
    int FillPitch() const;

    TDropWatch* Drop; // the user moved the window and let it rest
    // The editors live as long as the machine: they close only once it ends.
    bool MayClose = false;

protected:
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void CreateControls();
    void CreateButtons();
    void CreateKeyGrid();
    void CreatePlayPanel();
    void CreatePopupMenu();
    void CreateTimers();
    void SessionChanged(TChanges changes);
    void FollowSong();
    void ShowKeyGrid();

    int StepOf(const QScrollBar* bar) const; // 1..16, 0 for ScrollBar1
    bool ValidPattern(int p) const;
    int NoteValue(const QScrollBar* bar) const { return bar->maximum() - bar->value(); }
    QString DescribeNote(int p, int v) const;
    QString NoteLetter(int p, int v) const;
    void SetSliderWidth(int step, int width);
    void ShowNoteWhileMoving(QScrollBar* bar);
    bool SnapToKeyGrid(QScrollBar* bar);
    void FinishEdit(int step);
    bool Playing() const;
    int CurrentPattern() const { return session_.CurrentPattern(); }

    TMachineSession& session_;
    int listener_ = 0;
    std::array<int, StepSliderCount + 1> sliderValues_{}; // last position of each slider
    int fillValue_ = 0;                                   // last position of ScrollBar1
    int repeatTag_ = 0;     // the button Timer2 repeats (MouseOnButtonDown's tag)
    int previewedStep_ = 0; // the step whose tone preview Timer3 ends
    uint32_t shownSteps_ = 0;
    bool UsersMove(const QMoveEvent& event);
    QPoint programPos_;
};
