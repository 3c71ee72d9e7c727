#pragma once

#include "SessionTempo.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>

// The tempo bar's position nearest to a session's tempo: its step time (four steps to the beat)
// rounded to whole milliseconds, held within the bar's range.
int32_t BarPositionOfBpm(double bpm);
// The tempo a bar position shows, in beats per minute.
double BpmOfBarPosition(int32_t position);

// Keeps the tempo bar on the session's tempo: polls the session on the user-interface thread and
// reports each new position. A position the user chose goes to the session instead.
class TTempoFollower : public QObject {
    Q_OBJECT
public:
    static constexpr int PollMs = 100;

    TTempoFollower(std::unique_ptr<TSessionTempo> session, int32_t position);

    // Reads the session's tempo; a position other than the last one is reported.
    void Poll();
    // The user's choice: proposed to the session, and the position followed from now on.
    void Propose(int32_t position);
    int32_t Position() const { return position_; }

signals:
    void Followed(int32_t position);

private:
    std::unique_ptr<TSessionTempo> session_;
    QTimer timer_;
    int32_t position_;
};
