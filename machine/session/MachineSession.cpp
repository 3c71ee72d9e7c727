#include "MachineSession.h"

#include "SessionReport.h"
#include "link/LinkPeer.h"
#include "midi/Midi_Errors.h"
#include "midi/ProgramNames.h"

#include <algorithm>
#include <utility>

TMachineSession::TMachineSession(std::unique_ptr<TMidiPort> port)
    : port_(port ? std::move(port) : std::make_unique<TNoMidiPort>()) {
    support_ = std::make_unique<TMidiSupport>();
    out_ = std::make_unique<TMidiOut>(*port_, *support_, &debugLog_);
    out_->Wording = [](const TUserMessage& message) { return MessageText(message); };
    playback_ = std::make_unique<TPlayback>(song_, melodies_, *out_, *support_, tempo_, state_);
    playback_->PlayingChanged = [this](bool) { Report(chTransport); };
    deviceNames_ = OutputDeviceList(*port_);
    out_->DeviceId = MidiMapperId;

    // The fresh song: one pattern of default notes, the first program.
    InitSong(song_, tempo_, DefaultNote, out_->DeviceId, 0, newSongName_);
    song_.PatternNames[1] = "(1) ";
    out_->SetPatch(0);
    state_.CurrentPattern = 1;
    state_.TrackPosition = 1;
    BuildAllMelodies(song_, melodies_, out_->Voice);
    song_.SongModified = false;
    history_.Reset(Snapshot(), true);
}

// The playback stops before the output and the Link peer go, and the output before the port.
TMachineSession::~TMachineSession() {
    playback_.reset();
    linkPeer_.reset();
    out_.reset();
    support_.reset();
}

int TMachineSession::Listen(TListener listener) {
    const int id = nextListenerId_++;
    listeners_.push_back({id, std::move(listener)});
    return id;
}

void TMachineSession::Unlisten(int id) {
    std::erase_if(listeners_, [id](const TListenerEntry& entry) { return entry.Id == id; });
}

void TMachineSession::Report(TChanges changes) {
    pending_ |= changes;
    if (reportDepth_ == 0)
        Notify();
}

// Listeners may call operations, which report in turn, and may come and go meanwhile.
void TMachineSession::Notify() {
    const TChanges changes = std::exchange(pending_, 0);
    if (changes == 0)
        return;
    std::vector<int> ids;
    for (const TListenerEntry& entry : listeners_)
        ids.push_back(entry.Id);
    for (int id : ids) {
        const auto entry = std::find_if(listeners_.begin(), listeners_.end(),
                                        [id](const TListenerEntry& e) { return e.Id == id; });
        if (entry != listeners_.end()) {
            const TListener listener = entry->Listener;
            listener(changes);
        }
    }
}

bool TMachineSession::IsNewSongName(const std::string& name) const {
    return name == "New Song" || name == "Neuer Song" || name == newSongName_;
}

std::string TMachineSession::InstrumentName() const {
    return std::string(ChannelProgramName(song_.Channel, song_.Patch));
}

int32_t TMachineSession::DeviceCount() const {
    return static_cast<int32_t>(deviceNames_.size()) - 1;
}

void TMachineSession::UseTexts(const TLanguageTexts& texts) {
    TSessionReport report(*this);
    texts_ = texts;
    SetDeviceBusyText(texts.DeviceBusyText);
    const bool freshName = IsNewSongName(song_.Name);
    if (!texts.NewSongName.empty())
        newSongName_ = texts.NewSongName;
    if (freshName && song_.Name != newSongName_) {
        song_.Name = newSongName_;
        Report(chName);
    }
}

void TMachineSession::TakeSettings(int32_t range, bool tonePreview, const std::string& copyright) {
    TSessionReport report(*this);
    if (IsValidRange(range))
        song_.Range = range;
    if (tonePreview != PreviewWhilePlaying())
        playback_->TogglePreview();
    exportOptions_.Copyright = copyright;
    song_.SongModified = false; // what the settings chose is no edit of the song
    StartHistory(true);
    Report(chRange | chPreview | chExportOptions);
}

void TMachineSession::Connect(int32_t number) {
    TSessionReport report(*this);
    machineNumber_ = static_cast<uint32_t>(number);
    connected_ = true;
    Report(chConnection);
}

void TMachineSession::SetExportOptions(const TExportOptions& options) {
    if (options == exportOptions_)
        return;
    TSessionReport report(*this);
    exportOptions_ = options;
    Report(chExportOptions);
}

void TMachineSession::SetTimeSignature(int32_t numerator, int32_t denominator) {
    TSessionReport report(*this);
    tempo_.SigNumerator = static_cast<uint8_t>(numerator);
    tempo_.SigDenominator = static_cast<uint8_t>(denominator);
    SetTempo(tempo_, tempo_.MsPerStep); // the MIDI clocks per click follow the numerator
    Report(chTimeSignature);
}

// A new track of one line.
void TMachineSession::ResetTrack() {
    playback_->WithTicksPaused([this] {
        state_.TrackPosition = 1;
        ResetTrackLines(song_, newSongName_);
    });
    Report(chTrack | chName);
    KeepSelectionInTrack();
}

// The export options of a new song. The copyright is the user's setting: a new song must not
// throw it away.
void TMachineSession::ResetExportNames() {
    ResetExportOptions(exportOptions_, ShownSongName(), InstrumentName(), exportOptions_.Copyright);
    Report(chExportOptions);
}

void TMachineSession::NewSong(const TNewSong& request) {
    TSessionReport report(*this);
    const int32_t patternBefore = CurrentPattern();
    const TSongOutput outputBefore = SongOutput();
    const uint8_t volume = volume_;
    state_.CurrentPattern = 1;
    ResetTrack();
    playback_->WithTicksPaused([&] {
        if (request.Drums)
            NewDrumSession(song_, request.Steps, volume, song_.Name);
        else
            NewProject(song_, request.Steps, volume, song_.Name);
    });
    FollowSongOutput(outputBefore, false);
    KeyGridOff();
    ResetExportNames(); // the instrument on the new song's channel, not yet edited
    if (Playing()) {
        state_.PlayMode = TPlayMode::Pattern;
        out_->Reset(); // nothing of the old song sounds on
    }
    ShowedPattern(patternBefore);
    StartHistory(!song_.SongModified);
    Report(chNewSong | chTransport | chRangeChosen);
}

void TMachineSession::NewSongKeepPatterns() {
    TSessionReport report(*this);
    ResetTrack();
    ResetExportNames();
    StartHistory(!song_.SongModified);
    Report(chSongShape);
}

// What the pattern number box does when it comes to show another pattern: while a pattern
// loops, the notes of the old one are silenced.
void TMachineSession::ShowedPattern(int32_t patternBefore) {
    if (CurrentPattern() == patternBefore)
        return;
    if (PlayMode() == TPlayMode::Pattern)
        out_->Reset();
    Report(chCurrentPattern);
}
