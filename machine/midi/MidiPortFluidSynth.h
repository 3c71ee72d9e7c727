#pragma once

#include "FluidSynthEngine.h"
#include "MidiPort.h"

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

// The built-in General MIDI synthesizer behind device id -1 ("Midi Mapper"), sounding through
// FluidSynth's audio driver. The synthesizer and its soundfont are loaded on the first open and
// kept, so later opens only start the audio output again; notes still sounding are silenced
// when a device closes. One device is open at a time; a second open fails with Allocated.
// Every open tries the audio drivers in order and keeps the first that starts; the desktop
// drivers of a sound server only when that server runs, and none may start a server (JACK).
// Opening fails with NoDriver when no soundfont can be loaded, with NoDevice when no audio
// driver starts, and with InvalidParameter for a setting FluidSynth does not accept.
// FluidSynth's own messages are kept off standard error; those of a failed driver go into
// Failure().
class TFluidSynthMapper {
public:
    explicit TFluidSynthMapper(TFluidSynthOptions options);
    ~TFluidSynthMapper();
    TFluidSynthMapper(const TFluidSynthMapper&) = delete;
    TFluidSynthMapper& operator=(const TFluidSynthMapper&) = delete;

    int32_t Open(std::unique_ptr<TMidiDevice>& device);

    // After an open that failed with NoDevice, what the user reads: NoAudioOutput with the
    // drivers tried and why each failed (FluidSynth's words), or AudioOutputPending. Empty after
    // any other outcome.
    const TUserMessage& Failure() const { return failure_; }

    // How long an open waits for the audio driver to start before it gives up (the start goes
    // on, and the next open takes it up).
    static constexpr std::chrono::milliseconds DriverWait{800};

    // What trying the audio drivers came to: the driver that started, or why none did.
    struct TDriverStart {
        fluid_audio_driver_t* Driver = nullptr;
        TUserMessage Failure;
    };

private:
    class Device;

    TDriverStart StartDriver();

    TFluidSynthOptions options_;
    std::unique_ptr<TFluidSynthEngine> synth_;
    bool deviceOpen_ = false;
    std::future<TDriverStart> starting_;
    TUserMessage failure_;
};
