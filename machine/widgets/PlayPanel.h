#pragma once

#include "midi/Playback.h"

#include <QToolButton>
#include <QWidget>

class TMachineSession;

// An editor's play/stop panel: a play button for one play mode, shown pressed while that mode
// plays, and a stop button. Play chooses the mode and works the play toggle; stop works the stop
// toggle. The panel follows the transport by itself.
class TPlayPanel : public QWidget {
    Q_OBJECT
public:
    TPlayPanel(QWidget* parent, TMachineSession& session, TPlayMode mode, const QString& playText);
    ~TPlayPanel() override;

    QToolButton* Play;
    QToolButton* Stop;

    // The buttons' places inside the panel.
    void PlaceButtons(const QRect& play, const QRect& stop);
    void ShowPlayState();
    void PlayClick();
    void StopClick();

private:
    TMachineSession& session_;
    TPlayMode mode_;
    int listener_ = 0;
};
