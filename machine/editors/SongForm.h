#pragma once

#include "WheelBar2003.h"
#include "session/MachineSession.h"
#include "widgets/DropWatch.h"
#include "widgets/PlayPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <cstdint>
#include <functional>

class QPainter;

// A selection of grid cells, by column and row, borders included.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

// The track editor: the song's track as a two-column list (entry number, pattern number) that
// scrolls under a fixed selection line, the third visible row. The position wheel beside the
// list picks the selected entry (the session's selected song line). Insert, Delete, "+" and "-"
// edit the selected entry; the window also mutes, sets the volume of every note, shows whether
// the selection follows track playback and starts and stops it. Every change is an operation of
// the session.
//
// The list's rows 0..2 are blank and entry j sits in row j + 2; below the track there are at
// least two blank rows, and as many more as it takes to let every entry scroll up to the
// selection line.
class TForm5 : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(TMachineSession& session, QWidget* parent = nullptr);
    ~TForm5() override;

    QLabel* Panel2 = nullptr;               // "BAR" heading
    QLabel* Panel1 = nullptr;               // "PAT." heading
    QTableWidget* StringGrid1 = nullptr;    // the track list
    TWheelBar2003* WheelBar20032 = nullptr; // position: 1..SonglineCount, the selected entry
    QPushButton* Button1 = nullptr;         // "Insert"
    QPushButton* Button2 = nullptr;         // "Delete"
    QPushButton* Button3 = nullptr;         // "-"
    QPushButton* Button4 = nullptr;         // "+"
    QCheckBox* CheckBox1 = nullptr;         // "Follow"
    QToolButton* SpeedButton1 = nullptr;    // mute, shows the action Mute
    TWheelBar2003* WheelBar20031 = nullptr; // volume: the inverse position 0..127
    QLineEdit* Edit2 = nullptr;             // the volume in decimal
    QLineEdit* Edit1 = nullptr;             // the song's name (its file-name part)
    TPlayPanel* Panel3 = nullptr;           // the play/stop panel
    QToolButton* SpeedButton14 = nullptr;   // "TRACK": play the track
    QToolButton* SpeedButton15 = nullptr;   // stop
    QAction* Mute = nullptr;                // mute toggle
    QAction* SetVolume = nullptr;           // "Set Volume": every velocity := the volume
    QTimer* Timer2 = nullptr;               // 200 ms: auto-repeat of "-" and "+"

    // The display list: three empty strings, then every song line's pattern number.
    QStringList TrackList;

    void FillTrackList();
    // Rebuilds the list from the song and re-applies the selection.
    void RefreshTrackGrid();
    // Moves the position wheel to entry j.
    void SelectTrackEntry(int j);
    // The selected entry (the position wheel's value).
    int SelectedEntry() const { return WheelBar20032->value(); }
    TGridRect Selection() const { return FSelection; }
    // The grid row shown at the top.
    int TopRow() const;
    // The volume the wheel shows, 0..127.
    uint8_t Volume() const;

    // Handlers, as the controls call them.
    void WheelBar20032Change();
    void Button1Click(); // "Insert"
    void Button2Click(); // "Delete"
    void Button3Click(); // "-"
    void Button4Click(); // "+"
    // Auto-repeat while "-" (delta -1) or "+" (delta 1) is held.
    void Button3MouseDown(int delta);
    void Button3MouseUp();
    void Timer2Timer(); // one repeat of the held button
    void CheckBox1Click();
    void MuteExecute();
    void WheelBar20031BarChange();
    void WheelBar20031BarScroll(TWheelBar2003::TScrollCode code);
    void SetVolumeExecute();

    TDropWatch* Drop = nullptr; // the user moved the window and let it rest
    // Where the window arrangement last put the window: a move to there is the program's.
    std::function<QPoint()> ArrangedPlace;
    // The editors live as long as the machine: they close only once it ends.
    bool MayClose = false;

protected:
    void wheelEvent(QWheelEvent* event) override; // FormMouseWheel
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateGrid();
    void CreateVolumeControls();
    void CreatePlayPanel();
    void ConnectControls();
    void PlaceControls();
    void FormCreate();
    void SessionChanged(TChanges changes);
    void ShowVolume();

    bool IsUsersMove() const;
    int SonglineCount() const { return session_.Song().SonglineCount; }
    int VisibleRows() const;
    void SizeGrid();
    void ApplySelection();
    void ShowSelection();

    TMachineSession& session_;
    int listener_ = 0;
    TGridRect FSelection{0, 3, 1, 3};
    int repeatDelta_ = 0;
};
