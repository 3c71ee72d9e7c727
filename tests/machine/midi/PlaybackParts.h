#pragma once

#include "midi/MidiBasics.h"
#include "midi/MidiDebugLog.h"
#include "midi/MidiPortRecording.h"
#include "midi/Playback.h"
#include "song/Melodies.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"

// The parts one machine's playback runs on: a recording port and a timer whose ticks the test
// makes itself.
struct TPlaybackParts {
    TPlaybackParts() { support.TicksByHand = true; }

    TRecordingMidiPort port{{"Synth"}, 1 << 20};
    TMidiSupport support;
    TMidiDebugLog debugger;
    TMidiOut out{port, support, &debugger};
    TPkSong song;
    TTempoInfo tempo;
    TMelodies melodies;
    TPlaybackState state;
    TPlayback playback{song, melodies, out, support, tempo, state};
};
