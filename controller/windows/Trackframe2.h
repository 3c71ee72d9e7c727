#pragma once

#include <QFrame>

class QLabel;
class QToolButton;
class TWheelBar2003;

// One machine's controls in the controller: mute, play its pattern, stop it, and its volume.
// The frame only shows and reports; the main window binds it to its slot.
class TTrackControl : public QFrame {
    Q_OBJECT
public:
    static constexpr int FrameWidth = 115;
    static constexpr int FrameHeight = 106;

    explicit TTrackControl(QWidget* parent = nullptr);

    QToolButton* SpeedButton10; // mute, a toggle
    QToolButton* SpeedButton1;  // "PAT."
    QToolButton* SpeedButton2;  // "STOP"
    TWheelBar2003* WheelBar1;   // volume: position 0 (top, loudest) to 127
    QLabel* VolumeText; // the volume as the machine shows it: 127 at the top, 0 at the bottom

    // Shows the slot's state without reporting it back.
    void ShowState(bool muted, int volume);

signals:
    void MuteClicked();
    void PlayPatternClicked();
    void StopClicked();
    void VolumeMoved(int position);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void ShowVolumeText();
};
