#include "PatternForm.h"

#include "EditorWindow.h"
#include "PlaceControl.h"
#include "song/PatternFunctions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMoveEvent>
#include <QPainter>
#include <QShortcut>
#include <QWheelEvent>

namespace {

// The key grid's modes ("Dur", "Moll") by text number, in the order of ModeNames.
constexpr int ModeNameTexts[ScaleModeCount] = {434, 435};

constexpr int ClientWidth = 392;
constexpr int ClientHeight = 296;
constexpr int SliderTop = 22;
constexpr int SliderHeight = 200;
constexpr int SingleWidth = 16;
constexpr int ColumnLeft = 338; // the button column right of the sliders
constexpr int ColumnWidth = 50;

QToolButton* ToolButton(QWidget* parent, const char* name, const QString& text, int left, int top,
                        int width, int height) {
    auto* button = Place(new QToolButton(parent), name, left, top, width, height);
    button->setText(text);
    return button;
}

} // namespace

TForm3::TForm3(TMachineSession& session, QWidget* parent)
    : QWidget(parent, EditorWindowFlags), session_(session) {
    setObjectName("Form3");
    setProperty("Tag", 6);
    setWindowTitle("Pattern Editor");
    setFixedSize(ClientWidth, ClientHeight);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Drop = new TDropWatch(*this, [this](const QMoveEvent& event) { return UsersMove(event); });
    connect(Drop, &TDropWatch::Dropped, this, [this] { programPos_ = pos(); });

    CreateControls();
    CreateTimers();
    FormCreate();
    listener_ = session_.Listen([this](TChanges changes) { SessionChanged(changes); });
    FollowSong();
    ShowPattern();
    Timer1->start();
}

TForm3::~TForm3() {
    session_.Unlisten(listener_);
}

void TForm3::FormCreate() {
    PlayingEvent = 0;
    CreatePopupMenu();
    CreateScrollBars();
    SpinEdit1->setRange(0, 2);
    LoadPatternIntoSliders(0, DefaultNote);
    programPos_ = pos();
    {
        const QSignalBlocker quiet(ScrollBar1);
        ScrollBar1->setRange(0, session_.Song().Range);
        ScrollBar1->setValue(ScrollBar1->maximum() - DefaultNote);
        fillValue_ = ScrollBar1->value();
    }
    for (const char* key : KeyNames)
        ComboBox1->addItem(key);
    for (const char* mode : ModeNames)
        ComboBox2->addItem(mode);
    ShowKeyGrid();
    Edit2->setText("(1) ");
}

void TForm3::CreateControls() {
    Panel1 = Place(new QFrame(this), "Panel1", 5, SliderTop - 2, 317, SliderHeight + 4);
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setAutoFillBackground(true);
    QPalette grey = Panel1->palette();
    grey.setColor(QPalette::Window, QColor(160, 160, 160));
    Panel1->setPalette(grey);

    Panel4 = Place(new QFrame(this), "Panel4", 5, SliderTop + SliderHeight + 3, 317, 8);
    Panel4->setFrameShape(QFrame::NoFrame);
    Shape1 = Place(new QFrame(Panel4), "Shape1", 1, 1, SingleWidth, 6);
    Shape1->setAutoFillBackground(true);
    QPalette cursor = Shape1->palette();
    cursor.setColor(QPalette::Window, QColor(200, 0, 0));
    Shape1->setPalette(cursor);

    CheckBox1 = Place(new QCheckBox(this), "CheckBox1", 6, 240, 18, 22);
    CheckBox1->setChecked(true);
    Edit1 = Place(new QLineEdit("Off", this), "Edit1", 24, 240, 140, 22);
    Edit1->setReadOnly(true);
    SpinEdit1 = Place(new QSpinBox(this), "SpinEdit1", 168, 240, 46, 22);
    // A typed number takes effect when confirmed, not at its first digit.
    SpinEdit1->setKeyboardTracking(false);
    Edit2 = Place(new QLineEdit("(1) ", this), "Edit2", 218, 240, 170, 22);
    Edit2->installEventFilter(this);
    SpinEdit1->installEventFilter(this);

    CreateButtons();
    CreateKeyGrid();
    CreatePlayPanel();

    connect(SpinEdit1, &QSpinBox::valueChanged, this, &TForm3::SpinEdit1Change);
    connect(Edit2, &QLineEdit::textEdited, this, &TForm3::Edit2Change);
}

void TForm3::CreateButtons() {
    Button1 = Place(new QPushButton("New", this), "Button1", ColumnLeft, 20, ColumnWidth, 22, 1);
    Button2 = Place(new QPushButton("Copy", this), "Button2", ColumnLeft, 44, ColumnWidth, 22, 2);
    Button3 = Place(new QPushButton("Reset", this), "Button3", ColumnLeft, 68, ColumnWidth, 22, 3);
    Button10 =
        Place(new QPushButton("Random", this), "Button10", ColumnLeft, 92, ColumnWidth, 22, 361);
    ScrollBar1 = Place(new QScrollBar(Qt::Vertical, this), "ScrollBar1", 324, 10, 12, 200);
    ScrollBar1->hide();
    Button3->installEventFilter(this);
    Button3->setMouseTracking(true);

    SpeedButton3 =
        ToolButton(this, "SpeedButton3", QString::fromUtf8("\u25B2"), ColumnLeft, 122, 24, 22);
    SpeedButton4 =
        ToolButton(this, "SpeedButton4", QString::fromUtf8("\u25BC"), ColumnLeft + 26, 122, 24, 22);
    SpeedButton1 =
        ToolButton(this, "SpeedButton1", QString::fromUtf8("\u25C0"), ColumnLeft, 146, 24, 22);
    SpeedButton2 =
        ToolButton(this, "SpeedButton2", QString::fromUtf8("\u25B6"), ColumnLeft + 26, 146, 24, 22);

    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button10, &QPushButton::clicked, this, &TForm3::Button10Click);
    const std::pair<QToolButton*, int> repeating[] = {
        {SpeedButton3, 1}, {SpeedButton2, 2}, {SpeedButton1, 3}, {SpeedButton4, 4}};
    for (const auto& [button, tag] : repeating) {
        const int buttonTag = tag;
        connect(button, &QToolButton::pressed, this,
                [this, buttonTag] { MouseOnButtonDown(buttonTag); });
        connect(button, &QToolButton::released, this, &TForm3::MouseOnButtonUp);
    }
    connect(SpeedButton3, &QToolButton::clicked, this, &TForm3::Button4Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm3::Button7Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm3::Button8Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm3::Button9Click);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] { ScrollBarOnChange(ScrollBar1); });
}

void TForm3::CreateKeyGrid() {
    Panel3 = Place(new QWidget(this), "Panel3", ColumnLeft, 174, ColumnWidth, 62);
    CheckBox2 = Place(new QCheckBox("Key", Panel3), "CheckBox2", 0, 0, ColumnWidth, 18);
    ComboBox1 = Place(new QComboBox(Panel3), "ComboBox1", 0, 19, ColumnWidth, 20);
    ComboBox2 = Place(new QComboBox(Panel3), "ComboBox2", 0, 41, ColumnWidth, 20);
    connect(CheckBox2, &QCheckBox::toggled, this, &TForm3::CheckBox2Click);
    for (QComboBox* list : {ComboBox1, ComboBox2}) {
        connect(list, &QComboBox::currentIndexChanged, this,
                [this] { session_.SetKeyGrid(KeyGridOfControls()); });
        connect(list, &QComboBox::activated, this, [this] { Edit1->setFocus(); });
    }
}

void TForm3::CreatePlayPanel() {
    Panel2 =
        Place(new TPlayPanel(this, session_, TPlayMode::Pattern, QString::fromUtf8("\u25B6 PAT.")),
              "Panel2", 0, ClientHeight - 25, ClientWidth, 25);
    Panel2->PlaceButtons({6, 1, 60, 22}, {68, 1, 24, 22});
    SpeedButton14 = Panel2->Play;
    SpeedButton14->setObjectName("SpeedButton14");
    SpeedButton15 = Panel2->Stop;
    SpeedButton15->setObjectName("SpeedButton15");
}

void TForm3::CreatePopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    for (int n = 1; n <= StepSliderCount; ++n) {
        QAction* item = PopupMenu1->addAction(QString());
        item->setObjectName(QString("l%1").arg(n));
        connect(item, &QAction::triggered, this, [this, n] { TonlaengenClick(n); });
        LengthItems[n] = item;
    }
    ShowTableTexts();
}

void TForm3::ShowTableTexts() {
    const QString caption = QString::fromStdString(TextByNumber(351));
    for (int n = 1; n <= StepSliderCount; ++n)
        LengthItems[n]->setText(caption + QString::number(n));
    for (int mode = 0; mode < ComboBox2->count(); ++mode)
        ComboBox2->setItemText(mode, QString::fromStdString(TextByNumber(ModeNameTexts[mode])));
}

void TForm3::ShowTexts(const TLanguageTexts& before) {
    SetHints();
    const TLanguageTexts& texts = session_.Texts();
    const QString shown = Edit1->text();
    if (shown == QString::fromStdString(before.OffText))
        Edit1->setText(QString::fromStdString(texts.OffText));
    else if (shown == QString::fromStdString(before.NoteDescriptionText))
        Edit1->setText(QString::fromStdString(texts.NoteDescriptionText));
}

void TForm3::CreateTimers() {
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(30);
    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(200);
    Timer3 = new QTimer(this);
    Timer3->setObjectName("Timer3");
    connect(Timer1, &QTimer::timeout, this, &TForm3::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm3::Timer2Timer);
    connect(Timer3, &QTimer::timeout, this, &TForm3::Timer3Timer);
}

void TForm3::CreateScrollBars() {
    QFont boxFont("Arial");
    boxFont.setPointSize(7);
    for (int k = 1; k <= StepSliderCount; ++k) {
        QLabel* box = Place(new QLabel(this), qPrintable(QString("memo%1").arg(k)),
                            StepPitch * k - 15, 3, 17, 16);
        // A single border around a silver (12632256) box.
        box->setStyleSheet("QLabel { background-color: #C0C0C0; border: 1px solid #404040; }");
        box->setFont(boxFont);
        box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        memo[k] = box;

        auto* bar =
            Place(new TWheelBar2003(Qt::Vertical, this), qPrintable(QString("ScrBar%1").arg(k)),
                  StepPitch * k - 14, SliderTop, 10, SliderHeight);
        bar->setRange(0, session_.Song().Range);
        bar->setPageStep(1);
        bar->setContextMenuPolicy(Qt::CustomContextMenu);
        bar->installEventFilter(this);
        ScrBar[k] = bar;
        connect(bar, &QScrollBar::valueChanged, this, [this, bar] { ScrollBarOnChange(bar); });
        connect(bar, &TWheelBar2003::Scroll, this,
                [this, bar](TWheelBar2003::TScrollCode code) { ScrollBarOnScroll(bar, code); });
        connect(bar, &QWidget::customContextMenuRequested, this, [this, bar](const QPoint& at) {
            ScrollBarContextPopup(bar);
            PopupMenu1->popup(bar->mapToGlobal(at));
        });
    }
    SetHints();
    shownotenames();
}

// What the editor shows follows what the session reports.
void TForm3::SessionChanged(TChanges changes) {
    if (changes & chKeyGrid)
        ShowKeyGrid();
    if (changes & chRangeChosen)
        ChangeRange();
    if (changes & (chNewSong | chSteps | chPatterns | chTrack | chRange))
        FollowSong();
    if (changes & (chCurrentPattern | chPatterns | chLoaded))
        ShowPattern();
    if (changes & chTransport)
        RefreshSoon();
}

void TForm3::ShowKeyGrid() {
    const TKeyGrid& grid = session_.KeyGrid();
    for (QWidget* control : std::initializer_list<QWidget*>{CheckBox2, ComboBox1, ComboBox2})
        control->blockSignals(true);
    CheckBox2->setChecked(grid.Ticked);
    ComboBox1->setCurrentIndex(grid.Key);
    ComboBox2->setCurrentIndex(grid.Mode);
    for (QWidget* control : std::initializer_list<QWidget*>{CheckBox2, ComboBox1, ComboBox2})
        control->blockSignals(false);
    ComboBox1->setEnabled(grid.Ticked);
    ComboBox2->setEnabled(grid.Ticked);
}

void TForm3::FollowSong() {
    const TPkSong& song = session_.Song();
    if (ScrollBar1->maximum() != song.Range) // a load or an undo: the fill pitch stays
        ScaleSliders(std::min(FillPitch(), song.Range));
    {
        const QSignalBlocker quiet(SpinEdit1);
        SpinEdit1->setMaximum(std::max(song.PatternCount, 1) + 1);
    }
    HideScrollbars();
    LoadPatternIntoSliders(CurrentPattern());
    SetHints();
}

void TForm3::wheelEvent(QWheelEvent* event) {
    HoverSlider = nullptr;
    OverNumberBox = false;
    const QPoint angle = event->angleDelta();
    if (FormMouseWheel(angle.y() != 0 ? angle.y() : angle.x()))
        event->accept();
    else
        QWidget::wheelEvent(event);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        auto* bar = qobject_cast<QScrollBar*>(watched);
        HoverSlider = bar != nullptr && StepOf(bar) > 0 ? bar : nullptr;
        OverNumberBox = watched == SpinEdit1;
        const QPoint angle = wheel->angleDelta();
        if (FormMouseWheel(angle.y() != 0 ? angle.y() : angle.x()))
            return true;
        return OverNumberBox || HoverSlider != nullptr;
    }
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                       type == QEvent::MouseButtonRelease;
    if (watched == Button3 && mouse) {
        auto* mouseEvent = static_cast<QMouseEvent*>(event);
        const QPoint at = mouseEvent->position().toPoint();
        if (type == QEvent::MouseButtonPress && mouseEvent->button() == Qt::LeftButton)
            Button3MouseDown(at.y());
        else if (type == QEvent::MouseMove)
            Button3MouseMove(at.x(), at.y(), (mouseEvent->buttons() & Qt::LeftButton) != 0);
        else if (type == QEvent::MouseButtonRelease && mouseEvent->button() == Qt::LeftButton)
            Button3MouseUp(at.x());
    }
    // Edit2DblClick: after the line edit's own double click, the whole name is selected.
    if (watched == Edit2 && event->type() == QEvent::MouseButtonDblClick)
        QMetaObject::invokeMethod(Edit2, &QLineEdit::selectAll, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

// The editors live as long as the machine: a close request is refused (there is no other way
// to bring them back) until the program ends.
void TForm3::closeEvent(QCloseEvent* event) {
    if (MayClose)
        event->accept();
    else
        event->ignore();
}

// A move the user makes (the window system reports it) undocks the window. Moves the program
// makes itself, and their echo, are not the user's.
bool TForm3::UsersMove(const QMoveEvent& event) {
    if (!isVisible() || !event.spontaneous()) {
        programPos_ = pos();
        return false;
    }
    return Drop->Dragging() || pos() != programPos_;
}

void TForm3::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    activateWindow();
    raise();
}

bool TForm3::Playing() const {
    return session_.Playing();
}

bool TForm3::ValidPattern(int p) const {
    return IsPatternNumber(session_.Song(), p);
}

int TForm3::StepOf(const QScrollBar* bar) const {
    for (int k = 1; k <= StepSliderCount; ++k)
        if (ScrBar[k] == bar)
            return k;
    return 0;
}
