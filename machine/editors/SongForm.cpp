#include "SongForm.h"

#include "EditorWindow.h"
#include "LocalFileNames.h"
#include "PlaceControl.h"

#include <QCloseEvent>
#include <QCursor>
#include <QHeaderView>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QWheelEvent>
#include <algorithm>

namespace {

constexpr int RowHeight = 20;
constexpr int ColumnWidth = 36;
constexpr int RepeatInterval = 200;
constexpr int ClientWidth = 176;
constexpr int DesignHeight = 296;
// Everything below the list and the volume wheel: the play/stop panel.
constexpr int BottomMargin = 32;
constexpr int ListTop = 50;

QLabel* Heading(QWidget* parent, const char* name, const char* text, int left, int width, int tag) {
    auto* label = Place(new QLabel(text, parent), name, left, 30, width, 19, tag);
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    return label;
}

} // namespace

TForm5::TForm5(TMachineSession& session, QWidget* parent)
    : QWidget(parent, EditorWindowFlags), session_(session) {
    setObjectName("Form5");
    setProperty("Tag", 40);
    setWindowTitle("Track Editor");
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Drop = new TDropWatch(*this, [this](const QMoveEvent&) {
        return isVisible() && (Drop->Dragging() || IsUsersMove());
    });

    CreateControls();
    setMinimumSize(ClientWidth, 200);
    resize(ClientWidth, DesignHeight);
    ConnectControls();
    FormCreate();
    listener_ = session_.Listen([this](TChanges changes) { SessionChanged(changes); });
}

TForm5::~TForm5() {
    session_.Unlisten(listener_);
}

void TForm5::CreateControls() {
    Edit1 = Place(new QLineEdit("New Project", this), "Edit1", 4, 4, ClientWidth - 8, 22);
    Edit1->setReadOnly(true);
    Panel2 = Heading(this, "Panel2", "BAR", 4, ColumnWidth + 2, 41);
    Panel1 = Heading(this, "Panel1", "PAT.", ColumnWidth + 6, ColumnWidth + 1, 42);
    CreateGrid();
    WheelBar20032 = new TWheelBar2003(Qt::Vertical, this);
    WheelBar20032->setObjectName("WheelBar20032");
    WheelBar20032->setRange(1, 1);
    WheelBar20032->setPageStep(5);

    Button1 = Place(new QPushButton("Insert", this), "Button1", 104, ListTop, 68, 24, 44);
    Button2 = Place(new QPushButton("Delete", this), "Button2", 104, ListTop + 26, 68, 24, 45);
    Button3 = Place(new QPushButton("-", this), "Button3", 104, ListTop + 52, 33, 24);
    Button4 = Place(new QPushButton("+", this), "Button4", 139, ListTop + 52, 33, 24);
    CheckBox1 = Place(new QCheckBox("Follow", this), "CheckBox1", 106, ListTop + 80, 66, 20, 43);
    CheckBox1->setChecked(true);
    CreateVolumeControls();
    CreatePlayPanel();

    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(RepeatInterval);
    PlaceControls();
}

void TForm5::CreateGrid() {
    StringGrid1 = new QTableWidget(0, 3, this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    StringGrid1->verticalHeader()->setDefaultSectionSize(RowHeight);
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->horizontalHeader()->setMinimumSectionSize(1);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->setColumnWidth(0, ColumnWidth);
    StringGrid1->setColumnWidth(1, ColumnWidth);
    // The third column is never shown: the list is the two fixed columns.
    StringGrid1->setColumnHidden(2, true);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Only the position wheel selects; clicks on the list do nothing.
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    StringGrid1->setFocusPolicy(Qt::NoFocus);
    StringGrid1->setAutoScroll(false);
    StringGrid1->setFrameStyle(QFrame::Box | QFrame::Plain);
    StringGrid1->setLineWidth(1);
    QPalette colours = StringGrid1->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Button));
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    StringGrid1->setPalette(colours);
    StringGrid1->viewport()->setMouseTracking(true);
    StringGrid1->viewport()->installEventFilter(this);
}

void TForm5::CreateVolumeControls() {
    WheelBar20031 = new TWheelBar2003(Qt::Vertical, this);
    WheelBar20031->setObjectName("WheelBar20031");
    WheelBar20031->setRange(0, 127);
    WheelBar20031->setPageStep(10);
    WheelBar20031->setValue(0);
    Edit2 = Place(new QLineEdit("127", this), "Edit2", 126, ListTop + 106, 46, 22);
    Edit2->setReadOnly(true);
    Edit2->setAlignment(Qt::AlignCenter);

    Mute = new QAction("MUTE", this);
    Mute->setObjectName("Mute");
    Mute->setCheckable(true);
    SetVolume = new QAction("Set Volume", this);
    SetVolume->setObjectName("SetVolume");
    SpeedButton1 = Place(new QToolButton(this), "SpeedButton1", 126, ListTop + 132, 46, 22);
    SpeedButton1->setDefaultAction(Mute);
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextOnly);
}

void TForm5::CreatePlayPanel() {
    Panel3 = new TPlayPanel(this, session_, TPlayMode::Track, QString::fromUtf8("\u25B6 TRACK"));
    Panel3->setObjectName("Panel3");
    Panel3->PlaceButtons({0, 0, 62, 24}, {64, 0, 26, 24});
    SpeedButton14 = Panel3->Play;
    SpeedButton14->setObjectName("SpeedButton14");
    SpeedButton15 = Panel3->Stop;
    SpeedButton15->setObjectName("SpeedButton15");
}

// The list and the two wheels take the height the window has; the rest keeps its place.
void TForm5::PlaceControls() {
    // Whole rows only, inside a one-pixel frame.
    const int rows = std::max(3, (height() - ListTop - BottomMargin - 2) / RowHeight);
    const int listHeight = rows * RowHeight + 2;
    StringGrid1->setGeometry(4, ListTop, 2 * ColumnWidth + 3, listHeight);
    WheelBar20032->setGeometry(4 + 2 * ColumnWidth + 3, ListTop, 16, listHeight);
    const int volumeTop = ListTop + 106;
    WheelBar20031->setGeometry(106, volumeTop, 16, std::max(48, ListTop + listHeight - volumeTop));
    Panel3->setGeometry(4, height() - BottomMargin + 4, ClientWidth - 8, 24);
}

void TForm5::ConnectControls() {
    connect(WheelBar20032, &TWheelBar2003::Change, this, &TForm5::WheelBar20032Change);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm5::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm5::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm5::Button4Click);
    connect(Button3, &QPushButton::pressed, this, [this] { Button3MouseDown(-1); });
    connect(Button4, &QPushButton::pressed, this, [this] { Button3MouseDown(1); });
    connect(Button3, &QPushButton::released, this, &TForm5::Button3MouseUp);
    connect(Button4, &QPushButton::released, this, &TForm5::Button3MouseUp);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm5::CheckBox1Click);
    connect(Mute, &QAction::triggered, this, &TForm5::MuteExecute);
    connect(SetVolume, &QAction::triggered, this, &TForm5::SetVolumeExecute);
    connect(WheelBar20031, &TWheelBar2003::Change, this, &TForm5::WheelBar20031BarChange);
    connect(WheelBar20031, &TWheelBar2003::Scroll, this, &TForm5::WheelBar20031BarScroll);
    connect(Timer2, &QTimer::timeout, this, &TForm5::Timer2Timer);
}

void TForm5::FormCreate() {
    FSelection = {0, 3, 1, 3};
    FillTrackList();
    WheelBar20032->setRange(1, std::max(1, SonglineCount()));
    WheelBar20032->setValue(1);
    Edit1->setText(FromLocal(session_.ShownSongName()));
    RefreshTrackGrid();
    ShowSelection();
    ShowVolume();
    resize(ClientWidth, DesignHeight);
    Mute->setEnabled(true);
    CheckBox1->setChecked(session_.Follow());
}

// What the editor shows follows what the session reports.
void TForm5::SessionChanged(TChanges changes) {
    if (changes & (chTrack | chNewSong))
        RefreshTrackGrid();
    if (changes & (chSelectedLine | chTrack | chNewSong))
        ShowSelection();
    if (changes & chName)
        Edit1->setText(FromLocal(session_.ShownSongName()));
    if (changes & chVolume)
        ShowVolume();
    if (changes & chMute)
        Mute->setChecked(session_.Muted());
    if (changes & chFollow)
        CheckBox1->setChecked(session_.Follow());
}

void TForm5::ShowVolume() {
    const QSignalBlocker quiet(WheelBar20031);
    WheelBar20031->setValue(WheelBar20031->maximum() - session_.Volume());
    Edit2->setText(QString::number(session_.Volume()));
}

int TForm5::TopRow() const {
    return StringGrid1->rowAt(0);
}

int TForm5::VisibleRows() const {
    return std::max(1, StringGrid1->viewport()->height() / RowHeight);
}

// FormMouseWheel: one notch moves the position by one entry; turning the wheel away from the
// user selects the previous entry.
void TForm5::wheelEvent(QWheelEvent* event) {
    event->accept();
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta == 0)
        return;
    WheelBar20032->setValue(WheelBar20032->value() + (delta > 0 ? -1 : 1));
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (watched != StringGrid1->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Wheel:
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    case QEvent::MouseMove: // StringGrid1MouseMove
        WheelBar20032->setFocus(Qt::MouseFocusReason);
        return true;
    case QEvent::MouseButtonPress: { // a click on a song line selects it, as the wheel would
        const int row =
            StringGrid1->rowAt(static_cast<QMouseEvent*>(event)->position().toPoint().y());
        const int entry = row - 2;
        if (entry >= 1 && entry <= SonglineCount())
            session_.SelectLine(entry);
        return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

// The editors live as long as the machine: a close request is refused (there is no other way
// to bring them back) until the program ends.
void TForm5::closeEvent(QCloseEvent* event) {
    if (MayClose)
        event->accept();
    else
        event->ignore();
}

// The user drags a window with the mouse on it; the program moves it to the position the
// window arrangement remembered. Any other move, with the mouse on the window, starts a drag,
// which ends once the window has rested for a moment.
bool TForm5::IsUsersMove() const {
    const QRect frame = frameGeometry();
    const bool arranged = ArrangedPlace && frame.topLeft() == ArrangedPlace();
    return !arranged && frame.contains(QCursor::pos());
}

void TForm5::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceControls();
    SizeGrid();
    ApplySelection();
}

void TForm5::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    activateWindow();
}
