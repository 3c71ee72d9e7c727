#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <functional>

class QMoveEvent;
class QWidget;

// Tells when the user has dropped a window after moving it: a move the window counts as the
// user's starts or continues a drag, which ends in a drop once no such move came for 250 ms. Each
// window says which of its moves count (the program's own moves, made by the window arrangement,
// do not; a hidden window's never do). It watches the window's moves itself.
class TDropWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int RestInterval = 250; // milliseconds

    using TUsersMove = std::function<bool(const QMoveEvent& event)>;
    TDropWatch(QWidget& window, TUsersMove usersMove);

    bool Dragging() const { return dragging_; }

signals:
    void DragStarted();
    void Dropped(QPoint dropPoint); // the mouse pointer, in screen co-ordinates

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Moved(const QMoveEvent& event);
    void Rested();

    QWidget& window_;
    TUsersMove usersMove_;
    QTimer rest_;
    bool dragging_ = false;
};
