#pragma once

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <functional>

// The server window: the first window of the machine and so the application's main window.
// Closing it ends the program, so the machine's shutdown sequence lives here. It stays hidden
// until a controller connects; the command handling joins it with the command server.
class Tserverform : public QWidget {
    Q_OBJECT
public:
    explicit Tserverform(QWidget* parent = nullptr);

    // What the shutdown needs from the rest of the machine, set once the windows exist.
    std::function<void()> WriteSettings;      // the settings file
    std::function<bool()> AskCloseQuestion;   // the main window's save question; false = cancel
    std::function<void()> StopPlayback;       // the "STOP" path
    std::function<void(QPainter&)> PaintSkin; // the current skin, at the top-left
    // The user dropped the window after moving it, at this point of the screen.
    std::function<void(QPoint)> Dropped;

    // Linked to a controller: the machine ends without the save question.
    std::function<bool()> Connected;
    bool Closing = false;
    bool Cancelled = false;
    // Ending on a signal: nobody can answer a question, so none is asked.
    bool EndWithoutQuestion = false;
    static constexpr int LogLines = 1000; // the command log keeps the latest lines

    QString StatusText() const { return statusText_; }
    // Sets the status item; every setting notifies linked clients, even with the same text.
    void SetStatusText(const QString& text);
    void AppendLog(const QString& line);
    void ClearLog();
    // "EXIT": the shutdown runs after the command that asked for it has returned, when its
    // acknowledgement has gone out (CommandAnswered) or at the latest when Timer1 runs out.
    void StartShutdown();
    void CommandAnswered();
    bool CloseConfirmed() const { return Timer1->property("Tag").toInt() == 1; }

    QPlainTextEdit* Memo1;
    QLabel* Panel1; // the logo
    QLabel* Panel2; // the machine number, shown once connected
    QTimer* Timer1; // the 100 ms one-shot shutdown timer

signals:
    void StatusChanged(const QString& text);
    void Closed(); // the shutdown went through: the program ends

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    void Timer1Timer();
    QString statusText_;
    QTimer* dropTimer_;
    bool shutdownByCommand_ = false;
};
