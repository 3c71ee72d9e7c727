#include "ProjectAudio.h"

#include <QFile>

bool ProjectAudioRequest(const QString& midiFile, const QString& output, TRenderRequest& request,
                         QString& error) {
    QFile file(midiFile);
    if (!file.open(QIODevice::ReadOnly)) {
        error = "Cannot open file " + midiFile;
        return false;
    }
    request.Midi = file.readAll().toStdString();
    request.OutputPath = QFile::encodeName(output).toStdString();
    request.Synth = SynthOptionsFromEnvironment();
    return true;
}
