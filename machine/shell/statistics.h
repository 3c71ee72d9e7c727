#pragma once

#include "song/SongModel.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

struct TTempoInfo;

// How the track uses the pattern pool.
struct TPatternUse {
    int32_t Total = 0;  // patterns in the pool
    int32_t Used = 0;   // distinct patterns the track plays
    int32_t Unused = 0; // Total - Used
    int32_t TrackLength = 0;
};
TPatternUse CountPatternUse(const TPkSong& song);

// The project statistics window: time signature, pattern counts and track length.
class TForm9 : public QDialog {
    Q_OBJECT
public:
    TForm9(const TPkSong& song, const TTempoInfo& tempo, QWidget* parent = nullptr);

    void updatestatistics();
    // "Statistics" in the main menu: refresh, then show or hide.
    void Toggle();

    QLabel* Numerator;
    QLabel* Denominator;
    QLabel* TotalValue;
    QLabel* UsedValue;
    QLabel* UnusedValue;
    QLabel* LengthValue;
    QPushButton* Button1; // "OK"

private:
    const TPkSong& song_;
    const TTempoInfo& tempo_;
};
