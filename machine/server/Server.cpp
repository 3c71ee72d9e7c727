#include "Server.h"

#include <QCloseEvent>
#include <QCursor>
#include <QMoveEvent>
#include <QPainter>

namespace {

// The program's logo: a white "P" on a deep blue disc.
QPixmap LogoPicture() {
    QPixmap picture(48, 48);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(30, 60, 120));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 44, 44);
    painter.setPen(Qt::white);
    QFont font("Sans", 22, QFont::Bold);
    painter.setFont(font);
    painter.drawText(picture.rect(), Qt::AlignCenter, "P");
    return picture;
}

} // namespace

Tserverform::Tserverform(QWidget* parent) : QWidget(parent) {
    setObjectName("serverform");
    setWindowTitle("LOG");
    setProperty("Tag", 0);
    setFixedSize(145, 95);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setMaximumBlockCount(LogLines); // a long session must not grow without end
    Memo1->hide();

    Panel1 = new QLabel(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, 145, 60);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setPixmap(LogoPicture());

    Panel2 = new QLabel(this);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(0, 60, 145, 35);
    Panel2->setAlignment(Qt::AlignCenter);
    QFont number = Panel2->font();
    number.setPixelSize(21);
    number.setBold(true);
    Panel2->setFont(number);
    Panel2->setStyleSheet("background: white;");
    Panel2->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);
    Timer1->setProperty("Tag", 0);
    connect(Timer1, &QTimer::timeout, this, &Tserverform::Timer1Timer);

    dropTimer_ = new QTimer(this);
    dropTimer_->setSingleShot(true);
    dropTimer_->setInterval(250);
    connect(dropTimer_, &QTimer::timeout, this, [this] {
        if (Dropped)
            Dropped(QCursor::pos());
    });
}

// Only moves the window system reports are the user's; the program's own moves (the window
// arrangement) are not drops.
void Tserverform::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible() && event->spontaneous() && frameGeometry().contains(QCursor::pos()))
        dropTimer_->start();
}

void Tserverform::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    activateWindow();
    raise();
}

void Tserverform::paintEvent(QPaintEvent*) {
    if (!PaintSkin)
        return;
    QPainter painter(this);
    PaintSkin(painter);
}

void Tserverform::SetStatusText(const QString& text) {
    statusText_ = text;
    emit StatusChanged(text);
}

void Tserverform::AppendLog(const QString& line) {
    Memo1->appendPlainText(line);
}

void Tserverform::ClearLog() {
    Memo1->clear();
}

// Every close request lands here. The first ones only start the shutdown timer, so that no
// window goes away inside a command; the timer's own close request is the one allowed.
void Tserverform::closeEvent(QCloseEvent* event) {
    if (CloseConfirmed())
        event->accept();
    else
        event->ignore();
    Closing = true;
    SetStatusText("SHUTDOWN");
    if (WriteSettings)
        WriteSettings();
    if (!CloseConfirmed())
        Timer1->start();
    else
        emit Closed();
}

void Tserverform::StartShutdown() {
    shutdownByCommand_ = true;
    Timer1->start();
}

// The command that asked for the shutdown is over: waiting on would only delay the end.
void Tserverform::CommandAnswered() {
    if (shutdownByCommand_ && Timer1->isActive())
        Timer1Timer();
}

void Tserverform::Timer1Timer() {
    Timer1->stop();
    shutdownByCommand_ = false;
    Timer1->setProperty("Tag", 1);
    const bool connected = Connected && Connected();
    if (!connected && !EndWithoutQuestion && AskCloseQuestion && !AskCloseQuestion())
        Cancelled = true;
    if (Cancelled) {
        Cancelled = false;
        Timer1->setProperty("Tag", 0);
        Closing = false;
        return;
    }
    if (StopPlayback)
        StopPlayback();
    close();
}
