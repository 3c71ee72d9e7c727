#pragma once

#include "widgets/DropWatch.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <functional>

class TCommandChannel;

// The server window: the first window of the machine and so the application's main window. It
// stays hidden until a controller connects, then shows the machine's number. It shows the
// command channel: the log of received commands (kept in its hidden memo) and the shutdown, which
// a close request starts.
class Tserverform : public QWidget {
    Q_OBJECT
public:
    explicit Tserverform(TCommandChannel& channel, QWidget* parent = nullptr);

    // The user dropped the window after moving it.
    TDropWatch* Drop;

    QPlainTextEdit* Memo1;
    QLabel* Panel1; // the logo
    QLabel* Panel2; // the machine number, shown once connected

protected:
    void closeEvent(QCloseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    TCommandChannel& channel_;
};
