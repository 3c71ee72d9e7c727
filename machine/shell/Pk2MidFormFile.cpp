#include "AudioExport.h"
#include "LocalFileNames.h"
#include "Pk2MidForm.h"
#include "ProgramPlaces.h"
#include "iniform.h"

#include <QFileDialog>
#include <QFileInfo>

bool TForm1::DoLoadSong(const QString& path, QString* error) {
    const TMachineSession::TLoadResult result = session_.Load(Local(path));
    if (!result.Loaded && error)
        *error = QString::fromLocal8Bit(result.Error.c_str());
    return result.Loaded;
}

void TForm1::SaveClick() {
    try {
        if (!session_.Save())
            SaveAsClick();
    } catch (const std::exception& failure) {
        QMessageBox::critical(this, "Plinkora", QString::fromStdString(FailureText(failure)));
    }
}

// Where a file dialog starts: the song or MIDI folder; the default one is made on first use.
QString TForm1::DialogFolder(const std::string& folder) {
    const QString path = QFile::decodeName(folder.c_str());
    if (folder == DefaultSongFolder(machine_.DocumentHome) && !MakeFolder(path).isEmpty())
        Ask(QString::fromStdString(
                MessageText(Message(TMessageKind::CannotCreateFolder, {Plain(folder)}))),
            QMessageBox::Ok);
    return path;
}

namespace {

// The file written for a chosen name: without a three-letter extension, then `extension`.
std::function<QString(const QString&)> WithExtension(const QString& extension) {
    return [extension](const QString& chosen) { return StripExtension(chosen) + extension; };
}

} // namespace

// The shared save dialog until the user confirms a name. When the file written for it
// (`written`) exists it is replaced only after "Yes" to the overwrite question, "No" opens the
// dialog again. Returns the file to write, empty when cancelled.
QString
TForm1::ChooseSaveTarget(const std::function<QString(const QString&, const QString&)>& choose,
                         const QString& folder, const QString& proposed,
                         const std::function<QString(const QString&)>& written) {
    for (;;) {
        const QString chosen = choose(folder, proposed);
        if (chosen.isEmpty())
            return chosen;
        const QString target = written(chosen);
        if (!QFileInfo::exists(target) ||
            Ask(OverwriteQuestion + "\n" + target, QMessageBox::Yes | QMessageBox::No) ==
                QMessageBox::Yes)
            return target;
    }
}

bool TForm1::SaveAsClick() {
    const std::string& name = session_.Song().Name;
    const QString chosen = ChooseSaveTarget(
        ChooseSongToSave, DialogFolder(machine_.Settings.SongFolder),
        session_.IsNewSongName(name) ? FromLocal(name) + ".pks" : QString(), WithExtension(".pks"));
    if (chosen.isEmpty())
        return false;
    try {
        session_.SaveAs(Local(chosen));
    } catch (const std::exception& failure) {
        QMessageBox::critical(this, "Plinkora", QString::fromStdString(FailureText(failure)));
        return false;
    }
    return true;
}

void TForm1::LoadClick() {
    if (session_.Song().SongModified && !AskSaveQuestion(true))
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
        return !session_.Song().SongModified;
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TForm1::NewSongWithSteps(bool drums) {
    if (!AskSaveQuestion(true))
        return;
    const int steps = AskStepCount ? AskStepCount() : session_.Song().Steps;
    if (steps < 1)
        return; // the song-properties dialog was cancelled
    session_.NewSong({steps, drums});
    MakeIniFile();
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
    session_.NewSongKeepPatterns();
}

bool TForm1::ExportMidiFile() {
    const QString chosen = ChooseSaveTarget(
        ChooseMidiToSave, DialogFolder(machine_.Settings.MidiFolder),
        FromLocal(StripExtension(session_.Song().Name)) + ".mid", WithExtension(".mid"));
    if (chosen.isEmpty())
        return false;
    try {
        session_.ExportMidi(Local(chosen));
    } catch (const std::exception& failure) {
        QMessageBox::critical(this, "Plinkora", QString::fromStdString(FailureText(failure)));
        return false;
    }
    return true;
}

bool TForm1::ExportAudioFile() {
    const QString chosen =
        ChooseSaveTarget(ChooseAudioToSave, DialogFolder(machine_.Settings.MidiFolder),
                         FromLocal(StripExtension(session_.Song().Name)) + ".wav", AudioTarget);
    if (chosen.isEmpty())
        return false;
    const TRenderResult result =
        RenderWithProgress(this, session_.AudioRequest(Local(chosen)), RenderingText, CancelText);
    if (result.State == TRenderResult::TState::Failed)
        QMessageBox::critical(this, "Plinkora", QString::fromStdString(MessageText(result.Fault)));
    return result.State == TRenderResult::TState::Written;
}
