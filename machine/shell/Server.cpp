#include "Server.h"

#include "server/CommandChannel.h"

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

Tserverform::Tserverform(TCommandChannel& channel, QWidget* parent)
    : QWidget(parent), channel_(channel) {
    setObjectName("serverform");
    setWindowTitle("LOG");
    setProperty("Tag", 0);
    setFixedSize(145, 95);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setMaximumBlockCount(TCommandChannel::LogLines);
    Memo1->hide();
    for (const QString& line : channel_.Log())
        Memo1->appendPlainText(line);
    connect(&channel_, &TCommandChannel::LogAppended, Memo1, &QPlainTextEdit::appendPlainText);
    connect(&channel_, &TCommandChannel::LogCleared, Memo1, &QPlainTextEdit::clear);
    connect(&channel_, &TCommandChannel::Ended, this, &QWidget::close);

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

    // Only moves the window system reports are the user's; the program's own moves (the window
    // arrangement) are not drops.
    Drop = new TDropWatch(*this, [this](const QMoveEvent& event) {
        return isVisible() && event.spontaneous() && frameGeometry().contains(QCursor::pos());
    });
}

void Tserverform::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    activateWindow();
    raise();
}

// Every close request starts the shutdown; the window closes only once the machine has ended.
void Tserverform::closeEvent(QCloseEvent* event) {
    event->setAccepted(channel_.RequestClose());
}
