#pragma once

#include "AudioRender.h"

#include <QString>

class QFileDialog;
class QWidget;

// The window side of rendering to a sound file, shared by the machine and the controller.

// The save dialog filter of the sound files this synthesizer writes: "WAV (*.wav)" first.
QString AudioFileFilter();

// The dialog adds the extension of the filter the user selects to a name typed without one.
void FollowSelectedFilterSuffix(QFileDialog& dialog);

// The file really written for a name chosen in the dialog: the name itself when it ends in a
// sound file extension, else the name without a three-letter extension and with ".wav".
QString AudioTarget(const QString& chosen);

// Renders on a worker thread while the window waits; a render longer than a moment shows a
// modal progress dialog whose cancel button (`cancelText`) ends it without a file.
TRenderResult RenderWithProgress(QWidget* parent, TRenderRequest request, const QString& label,
                                 const QString& cancelText);
