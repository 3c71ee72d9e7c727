#pragma once

#include <QString>
#include <QStringList>
#include <array>

// Joins the machines' MIDI files (format 0, one track each) into one format 1 file: the first
// file's header with format 1 and the track count, its track, then every later file from its
// 15th byte on, its tempo events carrying the first file's tempo (the file's one tempo map
// then times every track as its own file does: each machine counts a tick per millisecond).
// Empty names are skipped. Every input must start with a MIDI header chunk
// ("MThd", length 6); the output is written atomically. Throws TControlError ("Cannot open
// file <name>", "<name> is not a Standard MIDI File", "Cannot create file <output>") and then
// leaves the output as it was.
void CombineMidiFiles(const std::array<QString, 4>& files, int trackCount, const QString& output);

// The controller's side of a combined export once every machine has been asked to write its
// file: wait until all files exist, join them, delete them.
class TMidiExportWait {
public:
    enum class TState { Idle, Waiting, Joined, TimedOut, Failed };
    static constexpr int DefaultMaxWaits = 20;

    // The machine of every slot marked in `exporting` writes base + slot + ".mid"; the joined file
    // is `output`, one track per slot in slot order. Each Poll that finds a file missing counts
    // one wait; `maxWaits` of them end the export.
    void Start(const QString& base, const QString& output, const std::array<bool, 4>& exporting,
               int maxWaits = DefaultMaxWaits);
    // Slot n's machine ended while the export waits for its file: the export fails at once
    // (Error() names the machine) and the files the machines wrote are removed. False when the
    // export does not wait for that slot.
    bool Abandon(int slot);
    // One look at the files: Waiting while any is missing, TimedOut at the last allowed wait
    // (the files already written stay), else Joined (the machines' files deleted) or Failed
    // (Error() says why; the machines' files stay).
    TState Poll();

    TState State() const { return state_; }
    QString Error() const { return error_; }
    QString Output() const { return output_; }
    const std::array<QString, 4>& SlotFiles() const { return slotFiles_; }
    int WaitCounter() const { return waitCounter_; }
    // The machines' files that do not exist yet.
    QStringList MissingFiles() const;

private:
    std::array<QString, 4> slotFiles_; // empty for a slot without a file
    QString output_;
    int trackCount_ = 0;
    int waitCounter_ = 0;
    int maxWaits_ = DefaultMaxWaits;
    TState state_ = TState::Idle;
    QString error_;
};
