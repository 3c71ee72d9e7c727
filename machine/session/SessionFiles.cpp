// The song file, the MIDI export and their names.
#include "GetPureFilename.h"
#include "MachineSession.h"
#include "SessionReport.h"
#include "files/ExportPk.h"
#include "files/ImportPk.h"

#include <filesystem>

namespace {

std::string FolderOf(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        absolute = path;
    return absolute.lexically_normal().parent_path().string();
}

// A text of the export options that changes counts as edited, as a change of its field does.
void SetEditedText(std::string& text, bool& edited, const std::string& value) {
    if (text == value)
        return;
    text = value;
    edited = true;
}

} // namespace

TMachineSession::TLoadResult TMachineSession::Load(const std::string& path, bool chooseDevice) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return {};
    TSessionReport report(*this);
    bool read = false;
    try {
        playback_->WithTicksPaused([&] { read = ReadSong(path, song_, tempo_); });
    } catch (const std::exception& failure) {
        return {false, FailureText(failure)};
    }
    if (!read)
        return {false, MessageText(Message(TMessageKind::NotSongFile, {Plain(path)}))};
    lastSongFolder_ = FolderOf(path);
    ApplyLoadedSong(chooseDevice);
    StartHistory(true);
    return {true, {}};
}

// Brings the output, the playback and the editors in line with a song that was just read, as
// the controls would catch up with it one by one; none of that counts as an edit.
void TMachineSession::ApplyLoadedSong(bool chooseDevice) {
    const int32_t patternBefore = CurrentPattern();
    const bool wasPlaying = Playing();
    const TPlayMode mode = PlayMode();
    if (wasPlaying)
        playback_->Stop();

    state_.CurrentPattern = song_.SonglineCount > 0 ? song_.Songlines[1] : 1;
    state_.TrackPosition = 1;
    selectedLine_ = lastFollowedLine_ = 1;
    song_.SongReady = true;
    FollowSongOutput(std::nullopt, chooseDevice);
    KeyGridOff();

    exportOptions_.TrackName = ShownSongName();
    exportOptions_.TrackNameEdited = false;
    exportOptions_.InstrumentEdited = false;
    KeepInstrumentName();
    if (wasPlaying) {
        state_.PlayMode = mode;
        ReportStart(mode == TPlayMode::Track ? playback_->PlaySong() : playback_->PlayPattern());
    }
    song_.SongModified = false;
    ShowedPattern(patternBefore);
    // A machine of its own starts every song at full volume; a controller keeps its volume.
    if (!connected_ && volume_ != DefaultVelocity)
        SetVolume(DefaultVelocity);
    Report(chLoaded | chNewSong);
}

// A song name holds a folder only after a remote save; otherwise the song goes beside the file
// it was loaded from or last saved to.
std::string TMachineSession::SongFilePathFor(const std::string& name) const {
    if (std::filesystem::path(name).is_absolute() || lastSongFolder_.empty())
        return name + ".pks";
    return (std::filesystem::path(lastSongFolder_) / (name + ".pks")).string();
}

void TMachineSession::WriteSongTo(const std::string& path) {
    WriteSong(path, song_, tempo_);
    MarkSaved();
    lastSongFolder_ = FolderOf(path);
}

bool TMachineSession::Save() {
    if (IsNewSongName(song_.Name))
        return false;
    WriteSongTo(SongFilePathFor(song_.Name));
    return true;
}

void TMachineSession::SaveAs(const std::string& path) {
    TSessionReport report(*this);
    WriteSongTo(path);
    song_.Name = StripExtension(FileNamePart(path));
    if (!exportOptions_.TrackNameEdited && exportOptions_.TrackName != ShownSongName()) {
        exportOptions_.TrackName = ShownSongName();
        exportOptions_.TrackNameEdited = true;
        Report(chExportOptions);
    }
    Report(chName);
}

void TMachineSession::SaveUnderName(const std::string& base) {
    TSessionReport report(*this);
    song_.Name = base;
    Report(chName);
    WriteSong(base + ".pks", song_, tempo_);
    MarkSaved();
}

std::string TMachineSession::ExportMidi(const std::string& path) {
    return ExportSongToMidi(song_, melodies_, out_->Voice, tempo_, exportOptions_, path);
}

std::string TMachineSession::ShownSongName() const {
    return FileNamePart(song_.Name);
}

// The export dialog's opening and a controller's export name the track and the instrument alike.
TExportOptions TMachineSession::WithSongNames(TExportOptions options) const {
    const std::string instrument = InstrumentName();
    SetEditedText(options.Instrument, options.InstrumentEdited, instrument);
    SetEditedText(options.TrackName, options.TrackNameEdited, ShownSongName() + " - " + instrument);
    return options;
}

void TMachineSession::NameExportTrack() {
    SetExportOptions(WithSongNames(exportOptions_));
}

// The options a controller's export uses: the song's names, not monophone.
TExportOptions TMachineSession::ControllerExportOptions() const {
    TExportOptions options = WithSongNames(exportOptions_);
    options.Monophone = false;
    return options;
}

std::string TMachineSession::ExportMidiForController(const std::string& path) {
    TSessionReport report(*this);
    exportOptions_ = ControllerExportOptions();
    Report(chExportOptions);
    return ExportMidi(path);
}

TRenderRequest TMachineSession::AudioRequest(const std::string& path) {
    TExportOptions options = ControllerExportOptions();
    options.ProgramChange =
        true; // the sound is the song's instrument, whatever the file dialog says
    TRenderRequest request;
    request.Midi = SongMidiFile(song_, melodies_, out_->Voice, tempo_, options);
    request.OutputPath = path;
    request.Synth = SynthOptionsFromEnvironment();
    request.Banks[(song_.Channel - 1) & 15] = song_.Bank;
    request.MinimumSeconds = double(song_.SonglineCount) * song_.Steps * song_.StepTime / 1000.0;
    return request;
}

TRenderResult TMachineSession::RenderAudio(const std::string& path,
                                           std::function<bool(double done)> progress) {
    TRenderRequest request = AudioRequest(path);
    request.Progress = std::move(progress);
    return RenderMidi(request);
}
