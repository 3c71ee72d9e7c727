#pragma once

#include "MidiPort.h"
#include "MidiPortAlsa.h"
#include "MidiPortFluidSynth.h"
#include "MidiPortJack.h"

#include <memory>
#include <string>
#include <vector>

struct TSystemMidiOptions {
    // When not empty, every device opens onto this message log file instead of sounding.
    std::string LogPath;
    TFluidSynthOptions Mapper;
    TJackOptions Jack;
};

// The device name the list shows for the machine's own JACK port, and the word that names it on
// the command line.
inline constexpr const char* JackDeviceName = "JACK";
inline constexpr const char* JackDeviceWord = "jack";

// Reads PLINKORA_MIDI_LOG (the message log file), PLINKORA_SOUNDFONT (the soundfont of the
// built-in synthesizer), PLINKORA_AUDIO_DRIVER (the one audio driver it tries instead of the
// desktop drivers) and PLINKORA_JACK_CONNECT (the ports the JACK output is connected to). The
// JACK client takes the name `machineName` (the program file's base name).
TSystemMidiOptions SystemMidiOptionsFromEnvironment(const std::string& machineName = "Plinkora");

// Why the built-in synthesizer of the port MakeSystemMidiPort makes cannot sound (a missing
// soundfont); empty when it can, and while the devices write to a message log.
TUserMessage SystemSoundFontProblem();

// The program's port: device -1 is the built-in FluidSynth synthesizer, devices 0..n-1 are the
// ALSA sequencer's output ports, and device n is the machine's own JACK port ("JACK") while a
// JACK server answers. The device list is looked up by DeviceCount and kept until the next
// DeviceCount; device n opens whether listed or not (a stored choice), failing with
// JackNotRunning when no server answers. The JACK client is made on the first open and kept
// while its device closes and opens again (the port and its connections stay in the
// patchbay); opening another device ends it, and so does a server that went away, at the next
// open. With a message log, every device writes the log; the JACK device sends on JACK too.
//
// Input: the ALSA input ports, or the midi_in port of the same JACK client, which then stays
// while either the JACK output or the JACK input uses it (the output opening another device
// keeps it for the input, the input choosing another keeps it for the output). A client whose
// server went away is replaced at the next open of either; the message log never concerns the
// input.
class TSystemMidiPort : public TMidiPort {
public:
    explicit TSystemMidiPort(TSystemMidiOptions options);
    ~TSystemMidiPort() override;

    int32_t DeviceCount() override;
    std::string DeviceName(int32_t index) override;
    int32_t Open(int32_t deviceId, std::unique_ptr<TMidiDevice>& device) override;
    TUserMessage OpenFailure() const override { return openFailure_; }
    bool OpensUnlisted(int32_t deviceId) const override { return deviceId == JackDeviceId(); }
    std::vector<std::string> InputNames() override { return AlsaMidiInputNames(); }
    int32_t OpenInput(const TMidiInputChoice& choice, TMidiInputSink& sink) override;

    // The JACK device's id: the number of ALSA devices of the last look-up.
    int32_t JackDeviceId() const { return static_cast<int32_t>(alsaNames_.size()); }
    // The JACK client while one is open (tests, diagnosis).
    const TJackMidiClient* JackClient() const { return jack_.get(); }

private:
    int32_t OpenJack(int32_t deviceId, std::unique_ptr<TMidiDevice>& device);
    // Makes the JACK client unless a live one is open; sets openFailure_ when it cannot.
    int32_t HoldJackClient();
    int32_t OpenJackInput(TMidiInputSink& sink);
    void ReleaseJackInput();

    TSystemMidiOptions options_;
    TFluidSynthMapper mapper_;
    std::vector<std::string> alsaNames_;
    bool jackListed_ = false;
    std::unique_ptr<TJackMidiClient> jack_;
    bool jackOutput_ = false;             // the output's last open was JACK's and succeeded
    TMidiInputSink* jackInput_ = nullptr; // the Jack input's sink
    // Clients whose server went away, replaced for the input while an output device may still
    // point to them; kept until the output opens again (it has let go of its device then).
    std::vector<std::unique_ptr<TJackMidiClient>> goneJack_;
    std::unique_ptr<TAlsaMidiInput> alsaInput_;
    TUserMessage openFailure_;
};

// The port chosen at program start, set up from the environment; its JACK client takes the name
// `machineName`.
std::unique_ptr<TMidiPort> MakeSystemMidiPort(const std::string& machineName = "Plinkora");
