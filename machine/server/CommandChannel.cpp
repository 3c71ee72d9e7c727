#include "CommandChannel.h"

#include "RemoteWords.h"

TCommandChannel::TCommandChannel(QObject* parent) : QObject(parent) {
    timer_.setObjectName("Timer1");
    timer_.setInterval(ShutdownDelay);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TCommandChannel::TimerRanOut);
}

void TCommandChannel::SetStatusText(const QString& text) {
    statusText_ = text;
    emit StatusChanged(text);
}

void TCommandChannel::AppendLog(const QString& line) {
    if (log_.size() >= LogLines) // a long session must not grow without end
        log_.removeFirst();
    log_.append(line);
    emit LogAppended(line);
}

void TCommandChannel::ClearLog() {
    log_.clear();
    emit LogCleared();
}

bool TCommandChannel::RequestClose() {
    if (HasEnded())
        return true;
    shutdown_ = TShutdown::Closing;
    SetStatusText(RemoteWords::Shutdown);
    if (WriteSettings)
        WriteSettings();
    timer_.start();
    return false;
}

void TCommandChannel::RequestEnd(bool mayAsk) {
    if (HasEnded())
        return;
    if (!mayAsk)
        mayAsk_ = false; // ending on a signal: nobody can answer a question
    shutdown_ = TShutdown::Closing;
    askedByCommand_ = true;
    timer_.start();
}

void TCommandChannel::CommandAnswered() {
    if (askedByCommand_ && timer_.isActive())
        TimerRanOut();
}

void TCommandChannel::TimerRanOut() {
    timer_.stop();
    askedByCommand_ = false;
    const bool connected = Connected && Connected();
    if (!connected && mayAsk_ && AskCloseQuestion && !AskCloseQuestion()) {
        shutdown_ = TShutdown::Running; // cancelled: "SHUTDOWN" has been reported all the same
        return;
    }
    if (StopPlayback)
        StopPlayback();
    End();
}

void TCommandChannel::End() {
    shutdown_ = TShutdown::Ended;
    SetStatusText(RemoteWords::Shutdown);
    if (WriteSettings)
        WriteSettings();
    emit Ended();
}
