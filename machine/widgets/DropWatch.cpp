#include "DropWatch.h"

#include <QCursor>
#include <QMoveEvent>
#include <QWidget>

TDropWatch::TDropWatch(QWidget& window, TUsersMove usersMove)
    : QObject(&window), window_(window), usersMove_(std::move(usersMove)) {
    rest_.setSingleShot(true);
    rest_.setInterval(RestInterval);
    connect(&rest_, &QTimer::timeout, this, &TDropWatch::Rested);
    window_.installEventFilter(this);
}

bool TDropWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Move)
        Moved(static_cast<const QMoveEvent&>(*event));
    return false;
}

void TDropWatch::Moved(const QMoveEvent& event) {
    if (!usersMove_(event))
        return;
    if (!dragging_) {
        dragging_ = true;
        emit DragStarted();
    }
    rest_.start();
}

void TDropWatch::Rested() {
    dragging_ = false;
    emit Dropped(QCursor::pos());
}
