#pragma once

#include "AudioRender.h"
#include "SessionChange.h"
#include "UndoHistory.h"
#include "files/ExportMidi.h"
#include "files/MidiControlFile.h"
#include "midi/MidiBasics.h"
#include "midi/MidiDebugLog.h"
#include "midi/MidiInput.h"
#include "midi/MidiPort.h"
#include "midi/Playback.h"
#include "session/MachineTexts.h"
#include "song/Melodies.h"
#include "song/SongModel.h"
#include "song/TempoInfo.h"
#include "song/scales.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TLinkPeer;

// The machine's one song and everything that plays and exports it: the song, its timelines, the
// tempo, the MIDI output, the playback and the export options. Its operations are the machine's
// behaviours; the windows, the command server and the command line all call them, and none of
// them writes the state directly.
//
// Every operation that changes what the song file stores sets the modified flag, rebuilds the
// timelines it touched, keeps the playback tick out of what the tick reads, and reports what it
// changed once, when it is done, to every listener (an operation made of others reports once).
// All operations run on the user-interface thread.
class TMachineSession {
public:
    // `port` gives the MIDI devices; without one the machine has none (every open fails).
    explicit TMachineSession(std::unique_ptr<TMidiPort> port = nullptr);
    ~TMachineSession();
    TMachineSession(const TMachineSession&) = delete;
    TMachineSession& operator=(const TMachineSession&) = delete;

    // --- listeners ---
    using TListener = std::function<void(TChanges)>;
    // Returns a number for Unlisten; listeners may call operations (their reports follow).
    int Listen(TListener listener);
    void Unlisten(int id);

    // --- state ---
    const TPkSong& Song() const { return song_; }
    const TMelodies& Melodies() const { return melodies_; }
    const TTempoInfo& Tempo() const { return tempo_; }
    const TExportOptions& ExportOptions() const { return exportOptions_; }
    const TMidiOut& Out() const { return *out_; }
    const TMidiPort& Port() const { return *port_; }
    const TMidiVoice& Voice() const { return out_->Voice; }
    const TPlaybackState& Transport() const { return state_; }
    const TLanguageTexts& Texts() const { return texts_; }
    TMidiDebugLog& DebugLog() { return debugLog_; }
    // The tick runs on the timer thread; tests that tick by hand call it here.
    TPlayback& Playback() { return *playback_; }
    const TPlayback& Playback() const { return *playback_; }
    TMidiSupport& Support() { return *support_; }
    const TMidiSupport& Support() const { return *support_; }
    // Where the MIDI input delivers; tests that hand in messages by hand deliver here.
    TMidiInputSink& InputSink() { return inputSink_; }

    bool Playing() const { return playback_->Playing(); }
    TPlayMode PlayMode() const { return state_.PlayMode.load(); }
    int32_t CurrentPattern() const { return state_.CurrentPattern.load(); }
    int32_t TrackPosition() const { return state_.TrackPosition.load(); }
    bool Muted() const { return state_.Muted.load() != 0; }
    // The play toggle is down while something plays, whatever started it (it comes up when the
    // start failed) and whatever stopped it (the stop toggle, STOP, a remote STOP, an editor).
    bool PlayToggleDown() const { return Playing(); }
    // What the last transport start or tone preview came to when it reported chStartFailed.
    TStartResult LastStart() const { return lastStart_; }
    int32_t Transposition() const { return out_->Voice.GlobalTranspose; }
    // The volume of new notes and of every velocity (the track editor's volume wheel), 0..127.
    uint8_t Volume() const { return volume_; }
    // The song line the track editor selects, 1..max(1, SonglineCount).
    int32_t SelectedLine() const { return selectedLine_; }
    // "Follow": the selection goes with the song line that plays (on at start).
    bool Follow() const { return follow_; }
    const TKeyGrid& KeyGrid() const { return keyGrid_; }
    bool PreviewWhilePlaying() const { return playback_->PreviewWhilePlaying(); }
    bool Connected() const { return connected_; }
    uint32_t MachineNumber() const { return machineNumber_; }
    // The name a new song takes ("New Song", or the table's text).
    const std::string& NewSongName() const { return newSongName_; }
    bool IsNewSongName(const std::string& name) const;
    // The name of the song's program: a drum kit on channel 10, the General MIDI program
    // elsewhere.
    std::string InstrumentName() const;
    // The song's name as the editors and the export show it: without the folder that a remote
    // save gives it.
    std::string ShownSongName() const;
    // "Midi Mapper", then every device of the port.
    const std::vector<std::string>& DeviceNames() const { return deviceNames_; }
    int32_t DeviceCount() const;

    // --- start-up ---
    // The message texts; a song still carrying a new-song name takes the table's one.
    void UseTexts(const TLanguageTexts& texts);
    // What the settings file keeps of the song and the export, taken at start without marking
    // the song modified.
    void TakeSettings(int32_t range, bool tonePreview, const std::string& copyright);
    // Linked to a controller as machine `number` (kept as the controller sent it).
    void Connect(int32_t number);

    // --- files ---
    struct TLoadResult {
        bool Loaded = false;
        std::string Error; // for the user, in the current language; empty for a missing file
    };
    // Reads the song file and brings the output, the playback and the editors in line with it:
    // channel, program, transposition, device (unless `chooseDevice` is false), the first song
    // line's pattern; playback that ran goes on with the new song. A failure leaves the song as
    // it was.
    TLoadResult Load(const std::string& path, bool chooseDevice = true);
    // "Save" of a named song: writes it beside the file it was loaded from or last saved to.
    // False, writing nothing, for a song that still carries a new-song name. Throws FileError.
    bool Save();
    // Writes the song to `path`, which names it from then on. Throws FileError.
    void SaveAs(const std::string& path);
    // The song takes the name `base` (a path without extension) and is written to base + ".pks".
    // Throws FileError.
    void SaveUnderName(const std::string& base);
    // The MIDI file of the export dialog, with the export options as they are. Returns the file
    // written. Throws FileError.
    std::string ExportMidi(const std::string& path);
    // The MIDI file a controller asks for: track name "<song> - <instrument>", the instrument,
    // not monophone (the options keep these). Returns the file written. Throws FileError.
    std::string ExportMidiForController(const std::string& path);
    // The song's track once through the built-in synthesizer into a sound file (.wav, .flac,
    // .ogg): the notes, instruments, bank and volume of the controller's MIDI export, with the
    // soundfont and settings of live playback and the release tail. `progress` may cancel.
    // The request holds its own copy of the music: it may be rendered on another thread.
    TRenderRequest AudioRequest(const std::string& path);
    TRenderResult RenderAudio(const std::string& path,
                              std::function<bool(double done)> progress = {});
    void SetExportOptions(const TExportOptions& options);
    // The export dialog opens: the instrument text := the instrument's name, the track name :=
    // "<shown song name> - <instrument>".
    void NameExportTrack();

    // --- the New commands (after the save question) ---
    struct TNewSong {
        int32_t Steps = MaxSteps;
        bool Drums = false;
    };
    void NewSong(const TNewSong& request);
    void NewSongKeepPatterns();
    // The time signature a new song takes (the song-properties dialog).
    void SetTimeSignature(int32_t numerator, int32_t denominator);

    // --- transport ---
    TStartResult PlayPattern(); // "> PAT."
    TStartResult PlaySong();    // "> SONG"
    void Stop();                // "STOP"
    void PlayToggle();          // the play toggle and the editors' play buttons
    void StopToggle();
    void ChoosePatternMode();
    void ChooseTrackMode();
    // The editors' play buttons: this play mode, then the play toggle.
    void PlayInMode(TPlayMode mode);
    // The controller's "PLAYSONG": the track from its first song line.
    void PlaySongFromStart();
    void ResetOutput();
    // What playback moved since the last call, called on the user-interface thread while
    // something plays: a pattern the tick moved to (track playback) is reported as the current
    // pattern and, with Follow, the selection goes to a song line that began playing.
    void FollowPlayback();
    // Called on the user-interface thread while WatchesOutput(): takes in what the output's
    // server did. Following the JACK transport, a start or stop the playback thread took is
    // reported as the transport's (in track mode from the first song line), and a timebase
    // master's tempo becomes the nearest step time. A device whose server went away is closed,
    // playback stops, the device list is looked up again and chDeviceGone is reported. With
    // Link on, what the Link session did: its peers, its tempo (the nearest step time, not sent
    // back; the notice while it lies outside the tempo bar's range) and, with start/stop sync,
    // its start (on its next bar line) and stop.
    void TakeInOutput();
    // Whether TakeInOutput has something to watch: playback, the armed transport, a device
    // with a server (JACK), the Link session.
    bool WatchesOutput() const;
    // Looks the devices up again (a JACK server that came or went); reports chDevice when the
    // list changed.
    void RefreshDevices();
    // Stops the timer without the rest of the stop path (the machine is closing).
    void StopTicks();
    void TogglePreview();
    void ToggleMute();

    // --- synchronisation (Options menu, kept in the settings) ---
    bool SendsClock() const { return sendClock_; }
    void SetSendClock(bool on); // reports chSync
    bool FollowsTransport() const { return followTransport_; }
    void SetFollowTransport(bool on); // reports chSync and chTransport
    // Ableton Link: while on, the machine is a peer of the network's Link session. Its tempo is
    // the session's, its steps lie on the session's beat grid, a start waits for the session's
    // next bar; with start/stop sync (on by default) starts and stops go both ways.
    bool LinksOn() const { return link_; }
    void SetLink(bool on); // reports chSync and chLink
    bool SyncsLinkStartStop() const { return linkStartStop_; }
    void SetLinkStartStop(bool on); // reports chSync
    // The other peers of the Link session (0 while Link is off); a change reports chLink.
    int32_t LinkPeers() const { return linkPeers_; }
    // What the status line says about Link (the session's tempo lies outside the tempo bar's
    // range), empty while all is well; a change reports chLink.
    const TUserMessage& LinkNotice() const { return linkNotice_; }

    // --- MIDI in (Options, kept in the settings); every change reports chSync ---
    // The input the machine reads: none (the default), an ALSA input port, or the midi_in port
    // of its JACK client.
    const TMidiInputChoice& MidiInput() const { return midiInput_; }
    // The ALSA input ports, looked up afresh.
    std::vector<std::string> MidiInputNames();
    // Opens the input and keeps the choice; returns the open's result code. A failed open keeps
    // the choice (a device that comes back is taken by choosing it again) but reads nothing;
    // MidiInputNotice then says why.
    int32_t SetMidiInput(const TMidiInputChoice& choice);
    // Follow MIDI clock: the leader's clock on the input starts, stops and paces playback
    // (TPlayback::FollowClock); the tempo bar shows the tempo the pulses give and cannot be moved
    // (SetStepTime is ignored). Turning it on turns Link off, and Link on turns it off.
    bool FollowsClock() const { return followClock_; }
    void SetFollowClock(bool on);
    // What the status line says of the MIDI input: the clock was lost and playback stopped, the
    // input could not be opened; empty while all is well. Cleared by the next start.
    const TUserMessage& MidiInputNotice() const { return midiInputNotice_; }
    // Transpose from keyboard: 0 off, else the channel (1..16) whose note-ons set the
    // transposition to their distance from middle C (60), from the next step on.
    int32_t KeyboardChannel() const { return keyboardChannel_; }
    void SetKeyboardChannel(int32_t channel);

    // --- MIDI control (the MIDI control window) ---
    const TMidiControlMap& MidiControl() const { return midiControl_; }
    const std::string& MidiControlPath() const { return midiControlPath_; }
    // Reads the assignments from `path`, which keeps them from then on: the lines skipped, each
    // as a message naming the file, the line and why; a file that cannot be read gives one
    // message and no assignments; a missing file none of either.
    std::vector<TUserMessage> LoadMidiControl(const std::string& path);
    // Assigns (nothing: clears) and writes the file. Throws FileError; the assignment stays.
    void AssignMidiControl(TMidiControlOperation operation,
                           std::optional<TMidiAssignment> assignment);
    // The next note-on or controller message received is assigned to `operation` (and the file
    // written); nothing: learning ends.
    void LearnMidiControl(std::optional<TMidiControlOperation> operation);
    std::optional<TMidiControlOperation> Learning() const { return learning_; }
    // Takes in, on the user-interface thread, what the input received: a message learned, the
    // operations the assignments trigger (the same operations the windows and the command wire
    // run: PlaySong, PlayPattern, Stop, StepTrack / SelectPattern, ToggleMute, SetStepTime,
    // SetVolume, SetTransposition), the keyboard's transposition; then the tempo the clock's
    // pulses show (while following) and a lost clock. Called while WatchesOutput().
    void TakeInMidiInput();

    // --- tempo and output ---
    // The tempo bar, "SETSPEED", the controller; with Link on the tempo goes out to the session.
    void SetStepTime(int32_t stepTime);
    // The boxes' values as the user steps them: one past an end wraps to the other end.
    void SetTransposition(int32_t semitones);
    void SetChannel(int32_t channel);
    void SetPatch(int32_t program);
    void SetBank(int32_t bank);
    // Returns the result code of opening the device.
    int32_t SetDevice(int32_t deviceId);
    // False, changing nothing, when a pattern holds a note the range cannot show. An accepted
    // choice is reported, the range the song already has too (chRangeChosen).
    bool SetRange(int32_t range);

    // --- the pattern editor (on the current pattern) ---
    // The pattern number box: one past either end wraps.
    void SelectPattern(int32_t pattern);
    void SetPatternName(const std::string& name);
    void AddPattern(int32_t fillPitch);
    void CopyPattern();
    void FillPattern(int32_t pitch);
    void RandomizePattern();
    void ShiftPatternUp();
    void ShiftPatternDown();
    void RotatePatternLeft();
    void RotatePatternRight();
    // The end of a slider gesture on step k: the note starting there (with the steps it holds)
    // takes `note`. Returns the note it held before; nothing for a step outside the pattern.
    std::optional<int32_t> SetStepNote(int32_t k, int32_t note);
    // The note starting at step s of pattern p lasts n steps.
    bool SetNoteLength(int32_t p, int32_t s, int32_t n);
    void SetKeyGrid(const TKeyGrid& grid);

    // --- tone preview ---
    // Opens the output for a preview when it is closed (then the program goes out again). False
    // when it stays closed; a busy device is reported as a failed start.
    bool OpenForPreview();
    // Whether step `step` of the current pattern holds a note to preview.
    bool HasPreviewNote(int32_t step) const;
    // Note-on (note-off) of the current pattern's step at preview velocity; nothing for a step
    // outside the pattern (nor a note-on for a rest).
    void PreviewStepOn(int32_t step);
    void PreviewStepOff(int32_t step);
    // Note-off for a note value that no longer stands in the pattern.
    void PreviewNoteOff(int32_t note);

    // --- undo and redo ---
    // Every change of what the song file keeps is one step (one operation: a slider gesture, a
    // button, a command); loading a song and the New commands start a fresh history.
    const TUndoHistory& History() const { return history_; }
    void Undo();
    void Redo();

    // --- the track editor ---
    void SelectLine(int32_t line);
    void InsertLine();                   // a copy of the selected line above it
    void DeleteLine();                   // the selected line, while more than one is left
    void StepLinePattern(int32_t delta); // "+" and "-" on the selected line, wrapping
    // The controller's "NEXTPATTERN" / "PREVIUSPATTERN": the selection and the line that plays
    // move one line, stopping at either end.
    void StepTrack(int32_t delta);
    void SetVolume(uint8_t volume);
    // Follow on selects the line that plays at once.
    void SetFollow(bool on);

private:
    friend class TSessionReport;

    void Report(TChanges changes);
    void Notify();
    TSongState Snapshot() const;
    void BeginStep(int32_t name, int32_t mergeKey);
    void EndStep();
    void StartHistory(bool saved);
    void MarkSaved();
    void Restore(const TSongState& state);
    void ApplyLoadedSong(bool chooseDevice);
    // What of the song the output plays with; compared before and after a song is replaced.
    struct TSongOutput {
        int32_t StepTime, Channel, Transposition, Patch, Bank, Device;
    };
    TSongOutput SongOutput() const;
    void FollowSongOutput(const std::optional<TSongOutput>& before, bool chooseDevice);
    void ResetTrack();
    void ResetExportNames();
    void ShowedPattern(int32_t patternBefore);
    void KeepSelectionInTrack();
    void AddedPattern(int32_t n);
    void ReloadAfter(bool changed);
    void KeyGridOff();
    void SwitchPattern(int32_t pattern);
    std::string SongFilePathFor(const std::string& name) const;
    TExportOptions WithSongNames(TExportOptions options) const;
    TExportOptions ControllerExportOptions() const;
    void WriteSongTo(const std::string& path);
    void KeepInstrumentName();
    void ReportStart(TStartResult result);
    void ReportTrackStart(bool wasPlaying, int32_t patternBefore);
    void ChooseMode(TPlayMode mode);
    void FollowLineThatPlays();
    bool TakeStepTime(int32_t stepTime);
    double LinkQuantum() const;
    void SendLinkTempo();
    void TakeInLink();
    void FollowLinkTempo(double bpm);
    void FollowLinkStartStop(const TBeatSnapshot& seen);

    TPkSong song_;
    TMelodies melodies_;
    TTempoInfo tempo_;
    TPlaybackState state_;
    TMidiDebugLog debugLog_;
    std::unique_ptr<TMidiPort> port_;
    std::unique_ptr<TMidiSupport> support_;
    std::unique_ptr<TMidiOut> out_;
    std::unique_ptr<TPlayback> playback_;
    std::vector<std::string> deviceNames_; // as the device list was filled at start
    TExportOptions exportOptions_;
    TLanguageTexts texts_;
    std::string newSongName_ = "New Song";
    std::string lastSongFolder_; // folder of the song file last loaded or saved
    TKeyGrid keyGrid_;
    uint8_t volume_ = DefaultVelocity;
    int32_t selectedLine_ = 1;
    bool follow_ = true;
    int32_t lastFollowedLine_ = 1; // the line that played when the selection last followed
    TStartResult lastStart_ = TStartResult::Idle;
    bool connected_ = false;
    uint32_t machineNumber_ = 0;
    bool sendClock_ = false;
    bool followTransport_ = false;
    bool link_ = false;
    bool linkStartStop_ = true;
    int32_t linkPeers_ = 0;
    TUserMessage linkNotice_;
    std::unique_ptr<TLinkPeer> linkPeer_; // while Link is on
    double linkBpmSeen_ = 0;              // the session's tempo last taken in
    bool linkPlayingSeen_ = false;        // the session's start/stop state last taken in
    TMidiInputSink inputSink_;
    TMidiInputChoice midiInput_;
    bool followClock_ = false;
    TUserMessage midiInputNotice_;
    int32_t keyboardChannel_ = 0;
    TMidiControlMap midiControl_;
    std::string midiControlPath_;
    std::optional<TMidiControlOperation> learning_;

    struct TListenerEntry {
        int Id;
        TListener Listener;
    };
    std::vector<TListenerEntry> listeners_;
    int nextListenerId_ = 1;
    int reportDepth_ = 0;
    TChanges pending_ = 0;
    TUndoHistory history_;
    std::optional<TSongState> stepBefore_; // the song before the step that runs
    int32_t stepName_ = 0;
    int32_t stepMergeKey_ = 0;
};
