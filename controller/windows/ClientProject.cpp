// The controller window's start-up and end, and its file side: project, export and folder
// dialogs, the export poll, help.

#include "AudioExport.h"
#include "Client.h"
#include "DesktopSupport.h"
#include "LocalFileNames.h"
#include "LogTexts.h"
#include "ProgramPlaces.h"
#include "ProjectAudio.h"
#include "RemoteInfo.h"
#include "WheelBar2003.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

namespace {

constexpr char ProjectFilter[] = "Plinkora Project File (*.pkp)";
constexpr char MidiFilter[] = "Midifiles (*.mid);;All Files (*)";

QString FileDialog(QWidget* parent, const QString& caption, const QString& folder,
                   const QString& name, const QString& filter, bool save) {
    QFileDialog dialog(parent, caption, folder, filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // asked about the file really written
    if (filter == AudioFileFilter())
        FollowSelectedFilterSuffix(dialog);
    else
        dialog.setDefaultSuffix(filter.contains("*.pkp") ? "pkp" : "mid");
    if (!name.isEmpty())
        dialog.selectFile(name);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

// A saved position that no screen shows any more falls back to the screen's centre.
QPoint OnScreen(QPoint position, QSize size) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(QRect(position, size)))
            return position;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().center() - QPoint(size.width(), size.height()) / 2
                  : QPoint(0, 0);
}

// Beside the machines' windows when the screen leaves room there (the frame is not known before
// the window shows: a title bar and thin borders are allowed for).
QPoint FirstPlaceOnScreen(QSize size) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {0, 0};
    return FirstStartPlace(screen->availableGeometry(), size + QSize(8, 32));
}

} // namespace

void Tclientform::StartUp(const QString& settingsFile, std::optional<TLanguage> runLanguage) {
    settingsFile_ = settingsFile;
    ChooseFile = [this](const QString& caption, const QString& folder, const QString& name,
                        const QString& filter, bool save) {
        return FileDialog(this, caption, folder, name, filter, save);
    };
    ChooseFolder = [this](const QString& prompt, const QString& folder) {
        return QFileDialog::getExistingDirectory(this, prompt, folder);
    };
    ScrollBar2->setValue(TempoStart);
    ScrollBar2Change();
    core_.ReadSettings(settingsFile_);
    if (runLanguage)
        core_.SetLanguage(*runLanguage);
    ShowLanguage();
    move(core_.SettingsFound()
             ? OnScreen(QPoint(core_.Settings().Left, core_.Settings().Top), size())
             : FirstPlaceOnScreen(size()));
    core_.PrepareServers();
    core_.TakeBackRunningMachines(); // those an earlier controller left running
}

void Tclientform::OpenStartProject(const QString& projectFile) {
    if (!projectFile.isEmpty() && QFileInfo::exists(projectFile))
        core_.OpenProject(projectFile);
}

QString Tclientform::ProjectDialogFolder() {
    return core_.ProjectFileFolder().isEmpty() ? Existing(core_.Settings().ProjectDirectory)
                                               : core_.ProjectFileFolder();
}

// The default project and MIDI folder is made on first use, so that the dialogs start in it;
// a folder the user chose is taken as it is.
QString Tclientform::Existing(const QString& folder) {
    if (folder == core_.DefaultProjectDirectory())
        if (const QString problem = MakeFolder(folder); !problem.isEmpty())
            ShowFailure(problem);
    return folder;
}

QString Tclientform::DialogTitle(const char* menuItem) const {
    QString title = ControlCaption(menuItem, core_.Language());
    if (title.endsWith("..."))
        title.chop(3);
    return title;
}

bool Tclientform::ConfirmOverwrite(const QString& file) {
    return !QFileInfo::exists(file) || Ask(Texts().OverwriteQuestion + "\n" + file,
                                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

// Save As: "No" to the overwrite question keeps the dialog open.
bool Tclientform::ChooseProjectFileAndSave() {
    if (core_.RunningCount() <= 0)
        return false;
    QString name = FileNamePart(core_.ProjectFileName());
    for (;;) {
        name = ChooseFile(DialogTitle("SaveProjectAs1"), ProjectDialogFolder(), name, ProjectFilter,
                          true);
        if (name.isEmpty())
            return false;
        if (ConfirmOverwrite(StripExtension(name) + ".pkp"))
            return core_.SaveProjectAs(name);
    }
}

void Tclientform::SaveProjectExecute() {
    core_.SaveProject();
}

void Tclientform::LoadProjectExecute() {
    if (!core_.SaveFirst())
        return;
    const QString name =
        ChooseFile(DialogTitle("LoadProject"), Existing(core_.Settings().ProjectDirectory), "",
                   ProjectFilter, false);
    if (!name.isEmpty())
        core_.OpenProject(name);
}

void Tclientform::ExportMidiExecute() {
    if (core_.RunningCount() <= 0)
        return;
    const QString current = core_.CurrentProjectName();
    QString name = current.isEmpty() ? QString() : FileNamePart(StripExtension(current));
    for (;;) {
        name = ChooseFile(DialogTitle("ExportMidi"), Existing(core_.Settings().MidiDirectory), name,
                          MidiFilter, true);
        if (name.isEmpty())
            return;
        if (ConfirmOverwrite(StripExtension(name) + ".mid"))
            break;
    }
    if (core_.StartMidiExport(name))
        Timer2->start();
}

void Tclientform::ExportAudioExecute() {
    if (core_.RunningCount() <= 0 || Timer2->isActive())
        return;
    const QString current = core_.CurrentProjectName();
    QString name = current.isEmpty() ? QString() : FileNamePart(StripExtension(current)) + ".wav";
    QString target;
    do {
        name = ChooseFile(DialogTitle("ExportAudio"), Existing(core_.Settings().MidiDirectory),
                          name, AudioFileFilter(), true);
        if (name.isEmpty())
            return;
        target = AudioTarget(name);
    } while (!ConfirmOverwrite(target));
    const TUserMessage fontProblem = SoundFontProblem(SynthOptionsFromEnvironment().SoundFont);
    if (!fontProblem.Empty())
        return ShowFailure(RenderFaultText(fontProblem, core_.Language()));
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/pkrender-XXXXXX");
    if (!folder->isValid())
        return ShowFailure("Cannot create a temporary folder: " + folder->errorString());
    if (!core_.StartMidiExportTo(folder->filePath("machine"), folder->filePath("project.mid")))
        return;
    audioTarget_ = target;
    audioFolder_ = std::move(folder);
    Timer2->start();
}

// Once the combined MIDI export has ended: its file rendered into the chosen sound file.
void Tclientform::RenderExportedProject(bool joined) {
    const QString target = std::exchange(audioTarget_, QString());
    const std::unique_ptr<QTemporaryDir> folder = std::move(audioFolder_);
    if (!joined)
        return; // the export told why
    TRenderRequest request;
    QString error;
    if (!ProjectAudioRequest(core_.MidiExport().Output(), target, request, error))
        return ShowFailure(error);
    const TRenderResult result =
        RenderWithProgress(this, std::move(request), Texts().RenderingText, Texts().CancelText);
    if (result.State == TRenderResult::TState::Failed)
        ShowFailure(RenderFaultText(result.Fault, core_.Language()));
}

// Once a second until every machine's file is there (or the wait is over).
void Tclientform::Timer2Timer() {
    Timer2->stop();
    const TMidiExportWait::TState state = core_.PollMidiExport();
    if (state == TMidiExportWait::TState::Waiting)
        Timer2->start();
    else if (!audioTarget_.isEmpty())
        RenderExportedProject(state == TMidiExportWait::TState::Joined);
}

void Tclientform::ChooseProjectDirectory() {
    const QString folder =
        ChooseFolder(Texts().ProjectFolderPrompt, core_.Settings().ProjectDirectory);
    if (!folder.isEmpty())
        core_.ChooseProjectDirectory(folder);
}

void Tclientform::ChooseMidiDirectory() {
    const QString folder = ChooseFolder(Texts().MidiFolderPrompt, core_.Settings().MidiDirectory);
    if (!folder.isEmpty())
        core_.ChooseMidiDirectory(folder);
}

// Beside the program, else in the installed data folders.
void Tclientform::OpenHelp(const QString& program) {
    const TLanguage language = core_.Language();
    const QString path =
        TProgramPlaces(programDirectory_ + "PKControl").Guide(GuideFile(program, language));
    if (const QString problem = OpenGuide(path, language); !problem.isEmpty())
        ShowFailure(problem);
}

// The save question as everywhere; after "Yes" the window closes whatever a dialog does.
void Tclientform::closeEvent(QCloseEvent* event) {
    if (ended_) {
        event->accept();
        return;
    }
    if (!quiet_ && !core_.SaveFirst()) {
        event->ignore();
        return;
    }
    ended_ = true;
    Timer2->stop();
    AboutBox->hide();
    core_.CloseAll();
    core_.SetWindowPosition(x(), y());
    if (!settingsFile_.isEmpty())
        core_.WriteSettings(settingsFile_);
    event->accept();
}

void Tclientform::EndWithoutQuestions() {
    quiet_ = true;
    close();
}
