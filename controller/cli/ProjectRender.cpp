#include "ProjectRender.h"

#include "ProjectExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

TRenderResult Failed(const QString& error) {
    TRenderResult result;
    result.Error = error.toStdString();
    return result;
}

bool Renderable(const QString& output) {
    const QString extension = QFileInfo(output).suffix().toLower();
    for (const std::string& known : RenderableExtensions())
        if (extension == QString::fromStdString(known))
            return true;
    return false;
}

} // namespace

TRenderResult RenderProject(const QString& projectFile, const QString& output,
                            const QString& programDirectory, std::function<bool(double)> progress) {
    TRenderRequest request;
    request.OutputPath = QFile::encodeName(output).toStdString();
    request.Synth = SynthOptionsFromEnvironment();
    if (!Renderable(output) || !SoundFontProblem(request.Synth.SoundFont).empty())
        return RenderMidi(request); // its message names what is wrong
    QTemporaryDir folder(QDir::tempPath() + "/pkrender-XXXXXX");
    if (!folder.isValid())
        return Failed("cannot create a temporary folder: " + folder.errorString());
    const QString midi = folder.filePath("project.mid");
    const TExportResult exported = ExportProjectMidi(projectFile, midi, programDirectory);
    if (!exported.Ok)
        return Failed(exported.Error);
    QFile file(midi);
    if (!file.open(QIODevice::ReadOnly))
        return Failed("Cannot open file " + midi);
    request.Midi = file.readAll().toStdString();
    request.Progress = std::move(progress);
    return RenderMidi(request);
}
