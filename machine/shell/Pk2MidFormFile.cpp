#include "GetPureFilename.h"
#include "Pk2MidForm.h"
#include "ProgramPlaces.h"
#include "files/ExportMidi.h"
#include "files/ExportPk.h"
#include "files/FileError.h"
#include "files/ImportPk.h"
#include "iniform.h"
#include "server/Server.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

// Paths, and the song's name, which is a file name, as the file system has them.
std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString FromLocal(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

void SetAndRun(QSpinBox* box, int value, const std::function<void()>& handler) {
    {
        const QSignalBlocker quiet(box);
        box->setValue(value);
    }
    handler();
}

} // namespace

bool TForm1::DoLoadSong(const QString& path, QString* error) {
    if (!QFileInfo(path).isFile())
        return false;
    bool read = false;
    try {
        machine_.Playback->WithTicksPaused(
            [&] { read = ReadSong(Local(path), machine_.Song, machine_.TempoInfo); });
    } catch (const std::exception& failure) {
        if (error)
            *error = QString::fromLocal8Bit(failure.what());
        return false;
    }
    if (!read) {
        if (error)
            *error = path + " is not a Plinkora song file";
        return false;
    }
    lastSongFolder_ = QFileInfo(path).absolutePath();
    ApplyLoadedSong();
    return true;
}

// Brings the windows and the playback in line with a song that was just read.
void TForm1::ApplyLoadedSong() {
    TPkSong& song = machine_.Song;
    TMidiOut& out = *machine_.MidiOut;
    const bool wasPlaying = Playing();
    const TPlayMode mode = machine_.PlaybackState.PlayMode;
    if (wasPlaying)
        machine_.Playback->Stop();

    ShowRange();
    out.Voice.GlobalTranspose = song.Transpose[1];
    machine_.PlaybackState.CurrentPattern = song.SonglineCount > 0 ? song.Songlines[1] : 1;
    out.Voice.OutChannel = static_cast<uint8_t>(song.Channel - 1);
    machine_.PlaybackState.TrackPosition = 1;
    song.SongReady = true;
    BuildAllMelodies(song, machine_.Melodies, out.Voice);

    const QString name = FromLocal(song.Name);
    emit SongNameChanged(name);
    machine_.ExportOptions.TrackName = song.Name;
    machine_.ExportOptions.TrackNameEdited = false;
    machine_.ExportOptions.InstrumentEdited = false;
    emit ExportOptionsChanged();
    SetAndRun(SpinEdit2, song.Transpose[1], [this] { SpinEdit2Change(); });
    SetAndRun(SpinEdit1, song.Patch, [this] { SpinEdit1Change(); });
    SetAndRun(SpinEdit4, song.Bank, [] {});
    SetAndRun(SpinEdit3, song.Channel, [this] { SpinEdit3Change(); });
    if (song.Device == -1 || song.Device < ComboBox1->count() - 1) {
        {
            const QSignalBlocker quiet(ComboBox1);
            ComboBox1->setCurrentIndex(song.Device + 1);
        }
        ComboBox1Change();
    }
    if (wasPlaying) {
        machine_.PlaybackState.PlayMode = mode;
        ShowStartResult(mode == TPlayMode::Track ? machine_.Playback->PlaySong()
                                                 : machine_.Playback->PlayPattern());
    }
    {
        const QSignalBlocker quiet(ScrollBar2);
        ScrollBar2->setValue(ScrollBar2->maximum() + ScrollBar2->minimum() - song.StepTime);
    }
    ScrollBar2Change();
    song.SongModified = false; // the controls only caught up with the song as it was read
    emit SongChanged();
    emit SongLoaded();
    emit CurrentPatternChanged(machine_.PlaybackState.CurrentPattern);
    if (!server_.Connected && ResetVolume)
        ResetVolume();
}

bool TForm1::IsNewSongName(const QString& name) const {
    return name == "New Song" || name == "Neuer Song" || name == NewSongName;
}

// A song name holds a folder only after a remote save; otherwise the song goes beside the file
// it was loaded from or last saved to.
QString TForm1::SongFilePathFor(const QString& name) const {
    if (QFileInfo(name).isAbsolute() || lastSongFolder_.isEmpty())
        return name + ".pks";
    return QDir(lastSongFolder_).filePath(name + ".pks");
}

void TForm1::WriteSongTo(const QString& path) {
    WriteSong(Local(path), machine_.Song, machine_.TempoInfo);
    lastSongFolder_ = QFileInfo(path).absolutePath();
}

void TForm1::SaveClick() {
    const QString name = FromLocal(machine_.Song.Name);
    if (IsNewSongName(name)) {
        SaveAsClick();
        return;
    }
    try {
        WriteSongTo(SongFilePathFor(name));
    } catch (const std::exception& failure) {
        QMessageBox::critical(this, "Plinkora", QString::fromLocal8Bit(failure.what()));
    }
}

// Where a file dialog starts: the song or MIDI folder; the default one is made on first use.
QString TForm1::DialogFolder(const std::string& folder) {
    const QString path = QFile::decodeName(folder.c_str());
    if (folder == DefaultSongFolder(machine_.DocumentHome))
        if (const QString problem = MakeFolder(path); !problem.isEmpty())
            Ask(problem, QMessageBox::Ok);
    return path;
}

// The shared save dialog until the user confirms a name. The file written is the chosen name
// without a three-letter extension, then `extension`; when that file exists it is replaced only
// after "Yes" to the overwrite question, "No" opens the dialog again. Returns the file to
// write, empty when cancelled.
QString
TForm1::ChooseSaveTarget(const std::function<QString(const QString&, const QString&)>& choose,
                         const QString& folder, const QString& proposed, const QString& extension) {
    for (;;) {
        const QString chosen = choose(folder, proposed);
        if (chosen.isEmpty())
            return chosen;
        const QString target = FromLocal(StripExtension(Local(chosen))) + extension;
        if (!QFileInfo::exists(target) ||
            Ask(OverwriteQuestion + "\n" + target, QMessageBox::Yes | QMessageBox::No) ==
                QMessageBox::Yes)
            return target;
    }
}

bool TForm1::SaveAsClick() {
    const QString name = FromLocal(machine_.Song.Name);
    const QString chosen =
        ChooseSaveTarget(ChooseSongToSave, DialogFolder(machine_.Settings.SongFolder),
                         IsNewSongName(name) ? name + ".pks" : QString(), ".pks");
    if (chosen.isEmpty())
        return false;
    try {
        WriteSongTo(chosen);
    } catch (const std::exception& failure) {
        QMessageBox::critical(this, "Plinkora", QString::fromLocal8Bit(failure.what()));
        return false;
    }
    machine_.Song.Name = StripExtension(FileNamePart(Local(chosen)));
    TExportOptions& options = machine_.ExportOptions;
    if (!options.TrackNameEdited && options.TrackName != machine_.Song.Name) {
        options.TrackName = machine_.Song.Name;
        options.TrackNameEdited = true;
        emit ExportOptionsChanged();
    }
    emit SongNameChanged(FromLocal(machine_.Song.Name));
    return true;
}

void TForm1::LoadClick() {
    if (machine_.Song.SongModified && !AskSaveQuestion(true))
        return;
    const QString chosen = ChooseSongToOpen(DialogFolder(machine_.Settings.SongFolder));
    if (chosen.isEmpty())
        return;
    QString error;
    if (!DoLoadSong(chosen, &error) && !error.isEmpty())
        QMessageBox::warning(this, "Plinkora", error);
}

bool TForm1::AskSaveQuestion(bool saveAs) {
    switch (Ask(SaveQuestion, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        if (saveAs)
            return SaveAsClick(); // a cancelled save keeps the song: nothing is lost
        SaveClick();
        return !machine_.Song.SongModified;
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TForm1::ResetTrack() {
    machine_.Playback->WithTicksPaused([this] {
        machine_.PlaybackState.TrackPosition = 1;
        ResetTrackLines(machine_.Song, NewSongName.toStdString());
    });
    // The copyright is the user's setting: a new song must not throw it away.
    ResetExportOptions(machine_.ExportOptions, machine_.Song.Name, Edit1->text().toStdString(),
                       machine_.Settings.Copyright);
    emit ExportOptionsChanged();
    emit SongNameChanged(NewSongName);
}

void TForm1::NewSongWithSteps(bool drums) {
    if (!AskSaveQuestion(true))
        return;
    const int steps = AskStepCount ? AskStepCount() : machine_.Song.Steps;
    if (steps < 1)
        return; // the song-properties dialog was cancelled
    TPkSong& song = machine_.Song;
    TMidiOut& out = *machine_.MidiOut;
    const uint8_t volume = TrackVolume ? TrackVolume() : DefaultVelocity;
    machine_.PlaybackState.CurrentPattern = 1;
    ResetTrack();
    machine_.Playback->WithTicksPaused([&] {
        if (drums)
            NewDrumSession(song, steps, volume, song.Name);
        else
            NewProject(song, steps, volume, song.Name);
    });
    SetAndRun(SpinEdit3, song.Channel, [this] { SpinEdit3Change(); });
    ShowRange();
    SetAndRun(SpinEdit2, song.Transpose[1], [this] { SpinEdit2Change(); });
    BuildAllMelodies(song, machine_.Melodies, out.Voice);
    MakeIniFile();
    if (Playing()) {
        machine_.PlaybackState.PlayMode = TPlayMode::Pattern;
        SpeedButton3->setChecked(true);
    }
    emit RangeChanged(song.Range);
    emit SongChanged();
    emit CurrentPatternChanged(1);
}

void TForm1::NewProjectClick() {
    NewSongWithSteps(false);
}

void TForm1::DrumsessionClick() {
    NewSongWithSteps(true);
}

void TForm1::SongKeepPatternsClick() {
    if (!AskSaveQuestion(true))
        return;
    ResetTrack();
    emit SongChanged();
}

bool TForm1::ExportMidiFile() {
    const QString chosen =
        ChooseSaveTarget(ChooseMidiToSave, DialogFolder(machine_.Settings.MidiFolder),
                         FromLocal(StripExtension(machine_.Song.Name)) + ".mid", ".mid");
    if (chosen.isEmpty())
        return false;
    try {
        ExportSongToMidi(machine_.Song, machine_.Melodies, machine_.MidiOut->Voice,
                         machine_.TempoInfo, machine_.ExportOptions, Local(chosen));
    } catch (const std::exception& failure) {
        QMessageBox::critical(this, "Plinkora", QString::fromLocal8Bit(failure.what()));
        return false;
    }
    return true;
}
