#include "MidiPortAlsa.h"

#include "FluidSynthEngine.h"
#include "MonotonicClock.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>
#include <mutex>

namespace {

constexpr const char* ClientName = "Plinkora";
constexpr const char* InputPortName = "midi_in";

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

int32_t ResultFor(RtMidiError::Type type) {
    switch (type) {
    case RtMidiError::WARNING:
    case RtMidiError::DEBUG_WARNING:
        return MidiResult::Ok;
    case RtMidiError::INVALID_DEVICE:
        return MidiResult::BadDeviceId;
    case RtMidiError::NO_DEVICES_FOUND:
    case RtMidiError::DRIVER_ERROR:
        return MidiResult::NoDevice;
    case RtMidiError::MEMORY_ERROR:
        return MidiResult::NoMemory;
    case RtMidiError::INVALID_PARAMETER:
        return MidiResult::InvalidParameter;
    case RtMidiError::INVALID_USE:
        return MidiResult::InvalidHandle;
    case RtMidiError::THREAD_ERROR:
        return MidiResult::HandleBusy;
    default:
        return MidiResult::Unspecified;
    }
}

// RtMidi reports errors through this callback instead of throwing; it keeps the first code
// since the last Take().
class TRtMidiErrors {
public:
    static void Record(RtMidiError::Type type, const std::string&, void* self) {
        auto& errors = *static_cast<TRtMidiErrors*>(self);
        if (errors.code_ == MidiResult::Ok)
            errors.code_ = ResultFor(type);
    }
    int32_t Take() {
        const int32_t code = code_;
        code_ = MidiResult::Ok;
        return code;
    }

private:
    int32_t code_ = MidiResult::Ok;
};

// An RtMidi output or input on the ALSA sequencer whose errors go to `errors`; null when none
// can be made.
template <typename Rt> std::unique_ptr<Rt> MakeRtMidi(TRtMidiErrors& errors) {
    if (!AlsaSequencerAvailable())
        return nullptr;
    try {
        auto rt = std::make_unique<Rt>(RtMidi::LINUX_ALSA, ClientName);
        rt->setErrorCallback(&TRtMidiErrors::Record, &errors);
        return rt;
    } catch (...) {
        return nullptr;
    }
}

// Makes `rt` and opens its port `index` under `portName`; `prepare` sets it up just before.
template <typename Rt, typename Prepare>
int32_t OpenRtPort(std::unique_ptr<Rt>& rt, TRtMidiErrors& errors, int32_t index,
                   const char* portName, Prepare prepare) {
    rt = MakeRtMidi<Rt>(errors);
    if (!rt)
        return MidiResult::NoDriver;
    try {
        if (index < 0 || static_cast<unsigned>(index) >= rt->getPortCount())
            return MidiResult::BadDeviceId;
        prepare(*rt);
        rt->openPort(static_cast<unsigned>(index), portName);
    } catch (...) {
        return MidiResult::Unspecified;
    }
    const int32_t code = errors.Take();
    if (code == MidiResult::Ok && !rt->isPortOpen())
        return MidiResult::NoDevice;
    return code;
}

template <typename Rt> std::vector<std::string> PortNames(Rt& rt) {
    std::vector<std::string> names;
    try {
        const unsigned count = rt.getPortCount();
        for (unsigned i = 0; i < count; ++i)
            names.push_back(CutDeviceName(rt.getPortName(i)));
    } catch (...) {
        names.clear();
    }
    return names;
}

class TRtAlsaMidiInput : public TAlsaMidiInput {
public:
    explicit TRtAlsaMidiInput(TMidiInputSink& sink) : sink_(sink) {}
    // RtMidi's destructor closes the port and joins its input thread.
    ~TRtAlsaMidiInput() override = default;

    int32_t Connect(int32_t index) {
        return OpenRtPort(in_, errors_, index, InputPortName, [this](RtMidiIn& in) {
            in.ignoreTypes(true, false, true); // RtMidi drops the clock unless told
            sink_.ResetParser();
            in.setCallback(&TRtAlsaMidiInput::Receive, this);
        });
    }

private:
    static void Receive(double, std::vector<unsigned char>* message, void* self) {
        const int64_t now = ClockNs(CLOCK_MONOTONIC_RAW);
        if (message)
            static_cast<TRtAlsaMidiInput*>(self)->sink_.DeliverBytes(
                now, std::span<const uint8_t>(message->data(), message->size()));
    }

    TMidiInputSink& sink_;
    TRtMidiErrors errors_;
    std::unique_ptr<RtMidiIn> in_;
};

class TAlsaMidiDevice : public TMidiDevice {
public:
    TAlsaMidiDevice() = default;
    ~TAlsaMidiDevice() override { Close(); }

    int32_t Connect(int32_t index) {
        return OpenRtPort(out_, errors_, index, ClientName, [](RtMidiOut&) {});
    }

    int32_t ShortMsg(uint32_t message) noexcept override {
        TShortMessage bytes;
        if (!SplitShortMessage(message, bytes))
            return MidiResult::InvalidParameter;
        return Send(bytes.Bytes, bytes.Length);
    }

    // Sustain off and all notes off on every channel.
    int32_t Reset() noexcept override {
        int32_t result = MidiResult::Ok;
        for (uint8_t channel = 0; channel < 16; ++channel) {
            const uint8_t sustainOff[3] = {static_cast<uint8_t>(0xB0 | channel), 64, 0};
            const uint8_t notesOff[3] = {static_cast<uint8_t>(0xB0 | channel), 123, 0};
            for (const uint8_t* message : {sustainOff, notesOff}) {
                const int32_t code = Send(message, 3);
                if (result == MidiResult::Ok)
                    result = code;
            }
        }
        return result;
    }

    int32_t Close() noexcept override {
        if (!out_)
            return MidiResult::InvalidHandle;
        int32_t result = MidiResult::Unspecified;
        try {
            out_->closePort();
            result = errors_.Take();
        } catch (...) {
        }
        out_.reset();
        return result;
    }

private:
    int32_t Send(const uint8_t* bytes, size_t length) noexcept {
        if (!out_)
            return MidiResult::InvalidHandle;
        try {
            out_->sendMessage(bytes, length);
        } catch (...) {
            return MidiResult::Unspecified;
        }
        return errors_.Take();
    }

    TRtMidiErrors errors_;
    std::unique_ptr<RtMidiOut> out_;
};

} // namespace

void QuietAlsaLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!AudioLibraryMessagesWanted())
            snd_lib_error_set_handler(&IgnoreAlsaError);
    });
}

bool AlsaSequencerAvailable() {
    QuietAlsaLibrary();
    snd_seq_t* sequencer = nullptr;
    if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
        return false;
    snd_seq_close(sequencer);
    return true;
}

std::vector<std::string> AlsaMidiOutputNames() {
    TRtMidiErrors errors;
    auto out = MakeRtMidi<RtMidiOut>(errors);
    return out ? PortNames(*out) : std::vector<std::string>{};
}

std::vector<std::string> AlsaMidiInputNames() {
    TRtMidiErrors errors;
    auto in = MakeRtMidi<RtMidiIn>(errors);
    return in ? PortNames(*in) : std::vector<std::string>{};
}

int32_t OpenAlsaMidiOutput(int32_t index, std::unique_ptr<TMidiDevice>& device) {
    auto alsa = std::make_unique<TAlsaMidiDevice>();
    const int32_t result = alsa->Connect(index);
    if (result == MidiResult::Ok)
        device = std::move(alsa);
    return result;
}

int32_t OpenAlsaMidiInput(int32_t index, TMidiInputSink& sink,
                          std::unique_ptr<TAlsaMidiInput>& input) {
    auto alsa = std::make_unique<TRtAlsaMidiInput>(sink);
    const int32_t result = alsa->Connect(index);
    if (result == MidiResult::Ok)
        input = std::move(alsa);
    return result;
}
