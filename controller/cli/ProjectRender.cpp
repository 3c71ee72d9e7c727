#include "ProjectRender.h"

#include "ProjectAudio.h"
#include "ProjectExport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

TRenderResult Failed(const QString& error) {
    TRenderResult result;
    result.Fault = Plain(error.toStdString());
    return result;
}

} // namespace

TRenderResult RenderProject(const QString& projectFile, const QString& output,
                            const QString& programDirectory, TLanguage language,
                            std::function<bool(double)> progress) {
    TRenderRequest request;
    request.OutputPath = QFile::encodeName(output).toStdString();
    request.Synth = SynthOptionsFromEnvironment();
    if (!RenderableFile(request.OutputPath) || !SoundFontProblem(request.Synth.SoundFont).Empty())
        return RenderMidi(request); // its message names what is wrong
    QTemporaryDir folder(QDir::tempPath() + "/pkrender-XXXXXX");
    if (!folder.isValid())
        return Failed("cannot create a temporary folder: " + folder.errorString());
    const QString midi = folder.filePath("project.mid");
    const TExportResult exported = ExportProjectMidi(projectFile, midi, programDirectory, language);
    if (!exported.Ok)
        return Failed(exported.Error);
    if (QString error; !ProjectAudioRequest(midi, output, request, error))
        return Failed(error);
    request.Progress = std::move(progress);
    return RenderMidi(request);
}
