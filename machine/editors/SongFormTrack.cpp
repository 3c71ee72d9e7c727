#include "SongForm.h"
#include "editors/PatternForm.h"
#include "shell/Pk2MidForm.h"

#include <QItemSelection>
#include <QScrollBar>
#include <algorithm>

namespace {

constexpr int BlankRows = 3;      // rows 0..2 stay empty
constexpr int RowsAfterTrack = 2; // at least this many empty rows follow the last entry
constexpr int RowHeight = 20;

void SetCellText(QTableWidget& grid, int row, int column, const QString& text) {
    QTableWidgetItem* item = grid.item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignCenter);
        grid.setItem(row, column, item);
    }
    if (item->text() != text)
        item->setText(text);
}

} // namespace

bool TForm5::Playing() const {
    return machine_.Playback->Playing();
}

uint8_t TForm5::Volume() const {
    return static_cast<uint8_t>(std::clamp(WheelBar20031->PositionInverse(), 0, 127));
}

void TForm5::FillTrackList() {
    const TPkSong& song = machine_.Song;
    TrackList = QStringList(BlankRows, QString());
    for (int j = 1; j <= song.SonglineCount && j < int(song.Songlines.size()); ++j)
        TrackList.append(QString::number(song.Songlines[j]));
}

// Every entry must be able to scroll up to the selection line, so a list taller than the
// track gets more empty rows below it.
void TForm5::SizeGrid() {
    const int entries = int(TrackList.size()) - BlankRows;
    const int rows = entries + std::max(BlankRows + RowsAfterTrack, VisibleRows());
    if (StringGrid1->rowCount() != rows)
        StringGrid1->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        StringGrid1->setRowHeight(row, RowHeight);
        const bool entry = row >= BlankRows && row < BlankRows + entries;
        SetCellText(*StringGrid1, row, 0, entry ? QString::number(row - BlankRows + 1) : QString());
        SetCellText(*StringGrid1, row, 1, row < TrackList.size() ? TrackList[row] : QString());
    }
}

void TForm5::RefreshTrackGrid() {
    FillTrackList();
    SizeGrid();
    WheelBar20032->setMaximum(std::max(1, SonglineCount()));
    ApplySelection();
}

// The selected row is the third visible one: the grid's top row is the position.
void TForm5::ApplySelection() {
    const int position = FSelection.Top - 2;
    StringGrid1->doItemsLayout();
    StringGrid1->verticalScrollBar()->setValue(position);
    const QItemSelection rows(StringGrid1->model()->index(FSelection.Top, FSelection.Left),
                              StringGrid1->model()->index(FSelection.Bottom, FSelection.Right));
    StringGrid1->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
}

void TForm5::WheelBar20032Change() {
    const int position = WheelBar20032->value();
    FSelection.Top = FSelection.Bottom = position + 2;
    ApplySelection();
    if (position >= 1 && position <= SonglineCount())
        ShowPatternWhenStopped(machine_.Song.Songlines[position]);
}

// The wheel's own change handling runs only when its value changes; this applies the entry
// also when the wheel already stands on it (an entry that moved up into a deleted one's place).
void TForm5::MovePositionWheel(int j) {
    const int target = std::clamp(j, WheelBar20032->minimum(), WheelBar20032->maximum());
    if (WheelBar20032->value() == target)
        WheelBar20032Change();
    else
        WheelBar20032->setValue(target);
}

void TForm5::SelectTrackEntry(int j) {
    MovePositionWheel(j);
}

void TForm5::ShowPatternWhenStopped(int pattern) {
    if (!Playing() && pattern >= 1 && pattern <= machine_.Song.PatternCount)
        patternEditor_.ShowPattern(pattern);
}

// Song lines are re-read from the display list: entry i + 1 from index i + 3.
void TForm5::ReadTrackFromList() {
    TPkSong& song = machine_.Song;
    const int count = int(TrackList.size()) - BlankRows;
    song.Songlines.assign(count + 1, 0);
    for (int i = 0; i < count; ++i)
        song.Songlines[i + 1] = TrackList[i + BlankRows].toInt();
    song.SonglineCount = count;
    song.SongModified = true;
}

void TForm5::Button1Click() {
    const int row = FSelection.Top;
    if (row < BlankRows || row >= TrackList.size())
        return;
    const int entry = row - 2;
    TrackList.insert(row, TrackList[row]);
    TPlaybackState& transport = machine_.PlaybackState;
    machine_.Playback->WithTicksPaused([&] {
        ReadTrackFromList();
        // The entry that plays keeps playing on: it moved one down.
        if (entry < transport.TrackPosition.load())
            transport.TrackPosition.store(transport.TrackPosition.load() + 1);
    });
    RefreshTrackGrid();
    MovePositionWheel(row - 1);
    emit TrackChanged();
}

void TForm5::Button2Click() {
    const int row = FSelection.Top;
    if (SonglineCount() <= 1 || row < BlankRows || row >= TrackList.size())
        return;
    const int entry = row - 2;
    TrackList.removeAt(row);
    TPlaybackState& transport = machine_.PlaybackState;
    machine_.Playback->WithTicksPaused([&] {
        ReadTrackFromList();
        // The entry that plays keeps playing on: it moved one up. A position beyond the
        // shortened track is brought back to entry 1 by the pause.
        if (entry < transport.TrackPosition.load())
            transport.TrackPosition.store(transport.TrackPosition.load() - 1);
    });
    RefreshTrackGrid();
    MovePositionWheel(row - 2);
    emit TrackChanged();
}

void TForm5::StepSelectedPattern(int delta) {
    TPkSong& song = machine_.Song;
    const int entry = SelectedEntry();
    if (entry < 1 || entry > SonglineCount() || song.PatternCount < 1)
        return;
    int pattern = song.Songlines[entry] + delta;
    if (pattern > song.PatternCount)
        pattern = delta > 0 ? 1 : song.PatternCount;
    else if (pattern < 1)
        pattern = song.PatternCount;
    machine_.Playback->WithTicksPaused([&] { SetSongValue(song, song.Songlines[entry], pattern); });
    RefreshTrackGrid();
    ShowPatternWhenStopped(pattern);
    emit TrackChanged();
}

void TForm5::Button3Click() {
    StepSelectedPattern(-1);
}

void TForm5::Button4Click() {
    StepSelectedPattern(1);
}

void TForm5::Button3MouseDown(int tag) {
    patternEditor_.Timer2->setProperty("Tag", tag);
    patternEditor_.Timer2->start();
}

void TForm5::Button3MouseUp() {
    patternEditor_.Timer2->stop();
}

void TForm5::CheckBox1Click() {
    if (!CheckBox1->isChecked())
        return;
    lastFollowedPosition_ = machine_.PlaybackState.TrackPosition.load();
    SelectTrackEntry(lastFollowedPosition_);
}

void TForm5::FollowPlayback() {
    ShowPlayState();
    if (!Playing())
        Timer1->stop(); // runs again when playback starts
    if (!Playing() || !CheckBox1->isChecked())
        return;
    const int position = machine_.PlaybackState.TrackPosition.load();
    if (position == lastFollowedPosition_)
        return;
    lastFollowedPosition_ = position;
    SelectTrackEntry(position);
}

void TForm5::MuteExecute() {
    machine_.Playback->ToggleMute();
    Mute->setChecked(machine_.PlaybackState.Muted.load() != 0);
}

void TForm5::WheelBar20031BarChange() {
    Edit2->setText(QString::number(WheelBar20031->PositionInverse()));
    SetVolume->trigger();
}

void TForm5::WheelBar20031BarScroll(TWheelBar2003::TScrollCode code) {
    if (code == TWheelBar2003::scEndScroll)
        SetVolume->trigger();
}

void TForm5::SetVolumeExecute() {
    machine_.Playback->SetVolume(Volume());
}

void TForm5::SpeedButton14Click() {
    mainWindow_.SpeedButton4Click();
    mainWindow_.SpeedButton1Click();
    ShowPlayState();
}

void TForm5::SpeedButton15Click() {
    mainWindow_.SpeedButton2Click();
    ShowPlayState();
}

// The "TRACK" button stays pressed while the track plays.
void TForm5::ShowPlayState() {
    SpeedButton14->setChecked(Playing() &&
                              machine_.PlaybackState.PlayMode.load() == TPlayMode::Track);
}
