#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

// What the command server shares with whoever shows it: the status item (the reply text), a
// bounded log of the commands received and the machine's shutdown. A machine without windows has
// one as well; the server window only listens to it.
//
// The shutdown: every close request reports "SHUTDOWN", writes the settings and starts the
// 100 ms timer; "EXIT" and a termination signal only start the timer, so that nothing ends inside
// a command. When the timer runs out (or the command that asked has been answered), a stand-alone
// machine asks its save question: cancelling it keeps the machine running. Otherwise playback
// stops, "SHUTDOWN" is reported and the settings are written once more, and Ended is signalled.
class TCommandChannel : public QObject {
    Q_OBJECT
public:
    static constexpr int LogLines = 1000; // the log keeps the latest lines
    static constexpr int ShutdownDelay = 100;

    explicit TCommandChannel(QObject* parent = nullptr);

    QString StatusText() const { return statusText_; }
    // Every setting notifies, even with the same text.
    void SetStatusText(const QString& text);
    const QStringList& Log() const { return log_; }
    void AppendLog(const QString& line);
    void ClearLog();

    // What the shutdown needs from the rest of the machine; any may be left unset.
    std::function<void()> WriteSettings;
    std::function<bool()> AskCloseQuestion; // the save question; false = cancel
    std::function<void()> StopPlayback;
    std::function<bool()> Connected; // linked to a controller: no question

    enum class TShutdown { Running, Closing, Ended };
    TShutdown Shutdown() const { return shutdown_; }
    bool Closing() const { return shutdown_ != TShutdown::Running; }
    bool HasEnded() const { return shutdown_ == TShutdown::Ended; }
    // A close request (a window's close button, the Exit menu item). True once the machine has
    // ended: only then may the window really close.
    bool RequestClose();
    // "EXIT" (asks the save question of a stand-alone machine) or a signal (asks nothing).
    void RequestEnd(bool mayAsk);
    // The command that asked for the end has been acknowledged: waiting on would only delay it.
    void CommandAnswered();
    bool ShutdownPending() const { return timer_.isActive(); }

signals:
    void StatusChanged(const QString& text);
    void LogAppended(const QString& line);
    void LogCleared();
    void Ended(); // the shutdown went through: the program ends

private:
    void TimerRanOut();
    void End();

    QString statusText_;
    QStringList log_;
    QTimer timer_;
    TShutdown shutdown_ = TShutdown::Running;
    bool askedByCommand_ = false;
    bool mayAsk_ = true;
};
