#include "SongForm.h"

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

uint8_t TForm5::Volume() const {
    return static_cast<uint8_t>(std::clamp(WheelBar20031->PositionInverse(), 0, 127));
}

void TForm5::FillTrackList() {
    const TPkSong& song = session_.Song();
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
    {
        const QSignalBlocker quiet(WheelBar20032);
        WheelBar20032->setMaximum(std::max(1, SonglineCount()));
    }
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

// The wheel and the selection line show the session's selected song line.
void TForm5::ShowSelection() {
    const int line = session_.SelectedLine();
    {
        const QSignalBlocker quiet(WheelBar20032);
        WheelBar20032->setValue(line);
    }
    FSelection.Top = FSelection.Bottom = line + 2;
    ApplySelection();
}

void TForm5::WheelBar20032Change() {
    session_.SelectLine(WheelBar20032->value());
}

void TForm5::SelectTrackEntry(int j) {
    session_.SelectLine(j);
}

void TForm5::Button1Click() {
    session_.InsertLine();
}

void TForm5::Button2Click() {
    session_.DeleteLine();
}

void TForm5::Button3Click() {
    session_.StepLinePattern(-1);
}

void TForm5::Button4Click() {
    session_.StepLinePattern(1);
}

void TForm5::Button3MouseDown(int delta) {
    repeatDelta_ = delta;
    Timer2->start();
}

void TForm5::Button3MouseUp() {
    Timer2->stop();
}

void TForm5::Timer2Timer() {
    session_.StepLinePattern(repeatDelta_);
}

void TForm5::CheckBox1Click() {
    session_.SetFollow(CheckBox1->isChecked());
}

void TForm5::MuteExecute() {
    session_.ToggleMute();
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
    session_.SetVolume(Volume());
}
