#pragma once

#include "AudioRender.h"

#include <QString>

// The render of a project's combined MIDI file into the sound file `output`, with the soundfont
// and settings of live playback (PLINKORA_SOUNDFONT honoured). False, with `error` naming the
// file, when the MIDI file cannot be read.
bool ProjectAudioRequest(const QString& midiFile, const QString& output, TRenderRequest& request,
                         QString& error);
