#pragma once

#include "AudioRender.h"
#include "Language.h"

#include <QString>
#include <functional>

// Renders a whole project as one mix into a sound file: the project's combined MIDI export
// (ExportProjectMidi, headless) played through the built-in synthesizer with the soundfont of
// live playback (PLINKORA_SOUNDFONT honoured). A bad output name or a missing soundfont is told
// before any machine starts; on every failure `output` is untouched. The machines speak
// `language`.
TRenderResult RenderProject(const QString& projectFile, const QString& output,
                            const QString& programDirectory, TLanguage language = DefaultLanguage,
                            std::function<bool(double done)> progress = {});
