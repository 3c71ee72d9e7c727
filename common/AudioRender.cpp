#include "AudioRender.h"

#include "AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fluidsynth.h>
#include <memory>

namespace {

constexpr int SampleRate = 44100;
constexpr double TailAfterVoices = 1.5; // reverb and chorus fade after the last voice
constexpr double MaxTail = 4.0;
constexpr int ProgressEveryBlocks = 2048;

struct TFileType {
    const char* Extension;
    const char* FluidName;
};
constexpr TFileType FileTypes[] = {{"wav", "wav"}, {"flac", "flac"}, {"ogg", "oga"}};

bool Offered(const char* fluidName) {
    QuietFluidSynth();
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings)
        return false;
    bool offered = false;
    struct TLook {
        const char* Wanted;
        bool* Found;
    } look{fluidName, &offered};
    fluid_settings_foreach_option(settings, "audio.file.type", &look,
                                  [](void* data, const char*, const char* option) {
                                      auto* wanted = static_cast<TLook*>(data);
                                      if (std::strcmp(option, wanted->Wanted) == 0)
                                          *wanted->Found = true;
                                  });
    delete_fluid_settings(settings);
    return offered;
}

std::string Extension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

const TFileType* TypeOf(const std::string& path) {
    const std::string extension = Extension(path);
    for (const TFileType& type : FileTypes)
        if (extension == type.Extension && Offered(type.FluidName))
            return &type;
    return nullptr;
}

using enum TMessageKind;

// The file cannot be created for the reason errno tells.
TUserMessage CannotCreateNow(const std::string& path) {
    return Message(CannotCreateBecause, {Plain(path), SystemReason(errno)});
}

TUserMessage CannotWrite(const std::string& path) {
    return Message(CannotCreate, {Plain(path)});
}

TRenderResult Failure(TUserMessage fault) {
    TRenderResult result;
    result.Fault = std::move(fault);
    return result;
}

// The player has passed the last event: its own end comes seconds later.
bool Played(fluid_player_t* player) {
    return fluid_player_get_status(player) != FLUID_PLAYER_PLAYING ||
           fluid_player_get_current_tick(player) > fluid_player_get_total_ticks(player);
}

// The share of the music played: by the player's ticks and by the track's length.
double Share(fluid_player_t* player, double seconds, double minimumSeconds) {
    const double byTicks = double(fluid_player_get_current_tick(player)) /
                           std::max(fluid_player_get_total_ticks(player), 1);
    const double share = minimumSeconds > 0 ? std::min(byTicks, seconds / minimumSeconds) : byTicks;
    return std::clamp(share, 0.0, 0.99);
}

// The player, the file renderer and the temporary file of one render; all go on every way out.
class TRenderRun {
public:
    explicit TRenderRun(std::string temporary) : temporary_(std::move(temporary)) {}
    ~TRenderRun() {
        if (renderer_)
            delete_fluid_file_renderer(renderer_);
        if (player_)
            delete_fluid_player(player_);
        if (!temporary_.empty())
            std::remove(temporary_.c_str());
    }
    TRenderRun(const TRenderRun&) = delete;
    TRenderRun& operator=(const TRenderRun&) = delete;

    TRenderResult Render(const TRenderRequest& request, const TFileType& type);

private:
    bool Block(double& seconds);

    std::string temporary_;
    TFluidSynthEngine synth_;
    fluid_player_t* player_ = nullptr;
    fluid_file_renderer_t* renderer_ = nullptr;
    int blockSize_ = 64;
};

bool TRenderRun::Block(double& seconds) {
    if (fluid_file_renderer_process_block(renderer_) != FLUID_OK)
        return false;
    seconds += static_cast<double>(blockSize_) / SampleRate;
    return true;
}

TRenderResult TRenderRun::Render(const TRenderRequest& request, const TFileType& type) {
    TFluidSynthOptions options = request.Synth;
    options.Settings.insert(options.Settings.end(),
                            {{"audio.file.name", temporary_},
                             {"audio.file.type", type.FluidName},
                             {"audio.file.format", "s16"},
                             {"synth.sample-rate", std::to_string(SampleRate)},
                             {"synth.audio-channels", "1"},
                             {"player.timing-source", "sample"},
                             {"player.reset-synth", "0"}, // the tail sounds on after the end
                             {"synth.lock-memory", "0"}});
    switch (synth_.Load(options)) {
    case TFluidSynthEngine::TLoad::Ok:
        break;
    case TFluidSynthEngine::TLoad::NoSoundFont:
        return Failure(SoundFontProblem(options.SoundFont));
    case TFluidSynthEngine::TLoad::BadSetting:
        return Failure(Message(SynthSettings));
    case TFluidSynthEngine::TLoad::NoMemory:
        return Failure(Message(SynthMemory));
    }
    fluid_settings_getint(synth_.Settings, "audio.period-size", &blockSize_);
    for (int channel = 0; channel < 16; ++channel)
        fluid_synth_bank_select(
            synth_.Engine, channel,
            static_cast<unsigned>(std::clamp(request.Banks[channel], 0, 16383)));
    player_ = new_fluid_player(synth_.Engine);
    std::string why;
    {
        const TFluidErrorCapture capture(why);
        if (!player_ ||
            fluid_player_add_mem(player_, request.Midi.data(), request.Midi.size()) != FLUID_OK)
            return Failure(Message(MidiUnplayable, {Plain(why.empty() ? why : ": " + why)}));
        renderer_ = new_fluid_file_renderer(synth_.Engine);
    }
    if (!renderer_)
        return Failure(why.empty()
                           ? CannotWrite(request.OutputPath)
                           : Message(CannotCreateBecause, {Plain(request.OutputPath), Plain(why)}));
    fluid_player_play(player_);

    double seconds = 0;
    for (long blocks = 1; !Played(player_) || seconds < request.MinimumSeconds; ++blocks) {
        if (!Block(seconds))
            return Failure(CannotWrite(request.OutputPath));
        if (request.Progress && blocks % ProgressEveryBlocks == 0 &&
            !request.Progress(Share(player_, seconds, request.MinimumSeconds)))
            return {TRenderResult::TState::Cancelled, {}, seconds};
    }
    // The release tail: until no voice sounds and the effects have faded, a few seconds at most.
    const double musicEnd = seconds;
    double silentSince = -1;
    while (seconds - musicEnd < MaxTail) {
        if (fluid_synth_get_active_voice_count(synth_.Engine) > 0)
            silentSince = -1;
        else if (silentSince < 0)
            silentSince = seconds;
        if (silentSince >= 0 && seconds - silentSince >= TailAfterVoices)
            break;
        if (!Block(seconds))
            return Failure(CannotWrite(request.OutputPath));
    }
    delete_fluid_file_renderer(renderer_); // closes the file
    renderer_ = nullptr;
    if (!MoveIntoPlace(temporary_, request.OutputPath))
        return Failure(CannotCreateNow(request.OutputPath));
    temporary_.clear();
    if (request.Progress)
        request.Progress(1.0);
    return {TRenderResult::TState::Written, {}, seconds};
}

} // namespace

bool RenderableFile(const std::string& path) {
    return TypeOf(path) != nullptr;
}

std::vector<std::string> RenderableExtensions() {
    std::vector<std::string> extensions;
    for (const TFileType& type : FileTypes)
        if (Offered(type.FluidName))
            extensions.emplace_back(type.Extension);
    return extensions;
}

TRenderResult RenderMidi(const TRenderRequest& request) {
    const TFileType* type = TypeOf(request.OutputPath);
    if (!type) {
        std::string known;
        for (const std::string& extension : RenderableExtensions())
            known += (known.empty() ? "." : ", .") + extension;
        return Failure(Message(NoSoundFileType, {Plain(request.OutputPath), Plain(known)}));
    }
    if (TUserMessage problem = SoundFontProblem(request.Synth.SoundFont); !problem.Empty())
        return Failure(std::move(problem));
    const std::string temporary = CreateFileBeside(request.OutputPath);
    if (temporary.empty())
        return Failure(CannotCreateNow(request.OutputPath));
    TRenderRun run(temporary);
    return run.Render(request, *type);
}
