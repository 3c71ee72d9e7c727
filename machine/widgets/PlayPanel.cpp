#include "PlayPanel.h"

#include "session/MachineSession.h"

TPlayPanel::TPlayPanel(QWidget* parent, TMachineSession& session, TPlayMode mode,
                       const QString& playText)
    : QWidget(parent), session_(session), mode_(mode) {
    Play = new QToolButton(this);
    Play->setText(playText);
    Play->setCheckable(true);
    Stop = new QToolButton(this);
    Stop->setText(QString::fromUtf8("\u25A0"));
    connect(Play, &QToolButton::clicked, this, &TPlayPanel::PlayClick);
    connect(Stop, &QToolButton::clicked, this, &TPlayPanel::StopClick);
    listener_ = session_.Listen([this](TChanges changes) {
        if (changes & chTransport)
            ShowPlayState();
    });
}

TPlayPanel::~TPlayPanel() {
    session_.Unlisten(listener_);
}

void TPlayPanel::PlaceButtons(const QRect& play, const QRect& stop) {
    Play->setGeometry(play);
    Stop->setGeometry(stop);
}

void TPlayPanel::ShowPlayState() {
    const bool plays = session_.Playing() && session_.PlayMode() == mode_;
    if (Play->isChecked() != plays)
        Play->setChecked(plays);
}

void TPlayPanel::PlayClick() {
    session_.PlayInMode(mode_);
    ShowPlayState();
}

void TPlayPanel::StopClick() {
    session_.StopToggle();
    ShowPlayState();
}
