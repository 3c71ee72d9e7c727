#include "ProjectExport.h"

#include "ClientFunctions.h"
#include "LocalFileNames.h"
#include "RemoteLink.h"
#include "RemoteWire.h"
#include "RemoteWords.h"
#include "TextLines.h"
#include "saveProject.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int PollMs = 10;
constexpr int ExportWaitMs = 20000;
constexpr int ReplyWaitMs = 10000;
constexpr int EndWaitMs = 5000;

void Pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Handles the events that come within `ms` (at least one): a reply, an ended machine.
void WaitForEvents(int ms) {
    QTimer bound;
    bound.setSingleShot(true);
    bound.start(ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Runs the event loop until `done` holds or the time is over; `done` is checked after every
// event and at least every PollMs.
template <typename TDone> bool WaitFor(TDone done, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        WaitForEvents(PollMs);
    }
    return true;
}

// Wakes the event loop the moment a started machine's process ends (its pidfd becomes
// readable), so the end needs no polling. Where pidfds are not available, WaitFor's bound of
// PollMs still finds the end.
class TProcessEndWatch {
public:
    explicit TProcessEndWatch(const std::vector<qint64>& pids) {
        for (const qint64 pid : pids) {
            const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
            if (fd < 0)
                continue;
            fds_.push_back(fd);
            auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QSocketNotifier* once = notifier.get();
            QObject::connect(once, &QSocketNotifier::activated, once,
                             [once] { once->setEnabled(false); }); // it stays readable
            notifiers_.push_back(std::move(notifier));
        }
    }
    ~TProcessEndWatch() {
        notifiers_.clear();
        for (const int fd : fds_)
            ::close(fd);
    }
    TProcessEndWatch(const TProcessEndWatch&) = delete;
    TProcessEndWatch& operator=(const TProcessEndWatch&) = delete;

private:
    std::vector<int> fds_;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers_;
};

// Whether a status line ends in `ending` (a reply's closing word between spaces), whatever
// spaces follow it.
bool EndsWithReply(const QString& text, const char* ending) {
    return (text.trimmed() + ' ').endsWith(QString(ending));
}

// A machine's answer to "LOAD": the path, then " loaded " or " loading failed ".
bool IsLoadReply(const QString& text) {
    return EndsWithReply(text, RemoteWords::Loaded) ||
           EndsWithReply(text, RemoteWords::LoadingFailed);
}

// The machines see only this export: their own socket folder and settings, and no sound.
class TPrivateMachines {
public:
    TPrivateMachines()
        : oldRuntime_(qgetenv("XDG_RUNTIME_DIR")),
          hadRuntime_(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")),
          oldMidiLog_(qgetenv("PLINKORA_MIDI_LOG")),
          hadMidiLog_(qEnvironmentVariableIsSet("PLINKORA_MIDI_LOG")) {
        if (!dir_.isValid())
            throw std::runtime_error("cannot create a temporary folder: " +
                                     dir_.errorString().toStdString());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.path()));
        // No sound is made: loading a song must not wait for a synthesizer to start.
        qputenv("PLINKORA_MIDI_LOG", QFile::encodeName(dir_.filePath("midi.log")));
    }
    ~TPrivateMachines() {
        Restore("XDG_RUNTIME_DIR", hadRuntime_, oldRuntime_);
        Restore("PLINKORA_MIDI_LOG", hadMidiLog_, oldMidiLog_);
    }
    TPrivateMachines(const TPrivateMachines&) = delete;
    TPrivateMachines& operator=(const TPrivateMachines&) = delete;

    QString WorkingDirectory() const { return dir_.path() + "/"; }
    // What the machines print, kept for the error message when one fails.
    QString OutputFile() const { return dir_.filePath("machines.log"); }

private:
    static void Restore(const char* name, bool had, const QByteArray& value) {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    }

    QTemporaryDir dir_{QDir::tempPath() + "/pkcontrol-XXXXXX"};
    QByteArray oldRuntime_;
    bool hadRuntime_;
    QByteArray oldMidiLog_;
    bool hadMidiLog_;
};

class TExportRun {
public:
    TExportRun(const TPrivateMachines& machines, const QString& programDirectory,
               TLanguage language)
        : machines_(machines), core_(MakeLinks(machines.WorkingDirectory()),
                                     machines.WorkingDirectory(), programDirectory) {
        core_.SetLanguage(language);
        for (const auto& [slot, link] : links_) {
            link->SetOutputFile(machines.OutputFile());
            link->SetStartWithoutWindows(true);
        }
        QObject::connect(&core_, &TClientCore::Failed,
                         [this](const QString& message) { failure_ = message; });
        QObject::connect(&core_, &TClientCore::StatusReceived,
                         [this](int slot, const QString& text) { replies_[slot] << text; });
    }
    ~TExportRun() { End(); }

    void Prepare() {
        if (!core_.PrepareServers())
            throw std::runtime_error(core_.Log().last().toStdString());
    }

    // All machines start at once; the controller's start steps then link to each in turn.
    void Start(const QString& projectFile, int machineCount) {
        for (int slot = 1; slot <= machineCount; ++slot) {
            links_[slot]->SetStartCommand(TClientCore::StartCommandLine(slot));
            links_[slot]->SetStartLanguage(core_.Language());
            links_[slot]->Launch();
        }
        if (!core_.OpenProject(projectFile))
            throw std::runtime_error(failure_.toStdString());
        for (int slot = 1; slot <= machineCount; ++slot)
            if (!links_[slot]->IsOpen())
                throw std::runtime_error(QString("machine %1 did not start (%2)%3")
                                             .arg(slot)
                                             .arg(links_[slot]->ErrorString(), MachineOutput())
                                             .toStdString());
    }

    // Every machine has answered its "LOAD" (its commands run in order, so the volume follows).
    void AwaitLoads(int machineCount) {
        for (int slot = 1; slot <= machineCount; ++slot) {
            QString reply;
            const bool answered = WaitFor(
                [&] {
                    for (const QString& text : replies_[slot])
                        if (IsLoadReply(text))
                            reply = text;
                    return !reply.isEmpty() || !core_.Running(slot);
                },
                ReplyWaitMs);
            if (!core_.Running(slot))
                throw std::runtime_error(QString("machine %1 ended before it loaded its song%2")
                                             .arg(slot)
                                             .arg(MachineOutput())
                                             .toStdString());
            if (!answered)
                throw std::runtime_error(
                    QString("machine %1 did not answer its song load").arg(slot).toStdString());
            if (EndsWithReply(reply, RemoteWords::LoadingFailed))
                throw std::runtime_error(
                    QString("machine %1: %2").arg(slot).arg(reply.trimmed()).toStdString());
        }
    }

    // Every machine of the project must still run: the joined file holds a track for each.
    void Export(const QString& base, const QString& output, int machineCount) {
        Pause(0); // a machine that ended meanwhile is known by now
        for (int slot = 1; slot <= machineCount; ++slot)
            if (!core_.Running(slot))
                throw std::runtime_error(QString("machine %1 ended before the MIDI export%2")
                                             .arg(slot)
                                             .arg(MachineOutput())
                                             .toStdString());
        // The files are looked for after every event (each machine's acknowledgement comes once
        // its file is written), so only the time bounds the waits.
        core_.StartMidiExportTo(base, output, std::numeric_limits<int>::max());
        auto state = TMidiExportWait::TState::Waiting;
        WaitFor(
            [&] { return (state = core_.PollMidiExport()) != TMidiExportWait::TState::Waiting; },
            ExportWaitMs);
        if (state == TMidiExportWait::TState::Waiting)
            state = TMidiExportWait::TState::TimedOut;
        if (state == TMidiExportWait::TState::TimedOut)
            throw std::runtime_error("the machines did not write their MIDI files in time: " +
                                     core_.MidiExport().MissingFiles().join(", ").toStdString());
        if (state == TMidiExportWait::TState::Failed)
            throw std::runtime_error(core_.MidiExport().Error().toStdString());
    }

    // "Exit" to every machine, then waits until every started process has gone.
    void End() {
        if (ended_)
            return;
        ended_ = true;
        std::vector<qint64> pids;
        for (const auto& [slot, link] : links_)
            if (link->LaunchedPid() > 0)
                pids.push_back(link->LaunchedPid());
        const TProcessEndWatch watch(pids);
        core_.CloseAll();
        const auto allEnded = [&] {
            for (const qint64 pid : pids)
                if (!TRemoteLink::ProcessEnded(pid))
                    return false;
            return true;
        };
        if (!WaitFor(allEnded, EndWaitMs))
            for (const qint64 pid : pids)
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        WaitFor(allEnded, EndWaitMs);
    }

private:
    // The last lines the machines printed, for an error message.
    QString MachineOutput() const {
        QFile file(machines_.OutputFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QStringList lines = QString::fromLocal8Bit(file.readAll()).trimmed().split('\n');
        return lines.join("").isEmpty()
                   ? QString()
                   : "\n" + lines.mid(std::max<qsizetype>(0, lines.size() - 5)).join('\n');
    }

    TClientCore::TLinks MakeLinks(const QString& workingDirectory) {
        TClientCore::TLinks links;
        for (int slot = 1; slot <= TClientCore::Slots; ++slot) {
            auto link = std::make_unique<TRemoteLink>(workingDirectory);
            links_[slot] = link.get();
            links[slot - 1] = std::move(link);
        }
        return links;
    }

    const TPrivateMachines& machines_;
    std::map<int, TRemoteLink*> links_;
    std::map<int, QStringList> replies_;
    QString failure_;
    bool ended_ = false;
    TClientCore core_; // last: its links are the ones above
};

} // namespace

TExportResult ExportProjectMidi(const QString& projectFile, const QString& output,
                                const QString& programDirectory, TLanguage language) {
    TExportResult result;
    QElapsedTimer clock;
    clock.start();
    const auto lap = [&clock] { return clock.restart(); };
    try {
        const QString path = QFileInfo(projectFile).absoluteFilePath();
        const QString base =
            QFile::decodeName(StripExtension(QFile::encodeName(path).toStdString()).c_str());
        const TProjectFile project = ReadProjectFile(base + ".pkp"); // before anything starts
        if (project.MachineCount < 1)
            throw std::runtime_error(projectFile.toStdString() + " has no machines");
        // A machine without its song would sound whatever song it has: no export then.
        if (const QStringList missing = MissingProjectSongs(base, project.MachineCount);
            !missing.isEmpty())
            throw std::runtime_error("song files missing: " + missing.join(", ").toStdString());
        TPrivateMachines machines;
        TExportRun run(machines, programDirectory, language);
        run.Prepare();
        result.Times.Prepare = lap();
        run.Start(path, project.MachineCount);
        result.Times.Start = lap();
        run.AwaitLoads(project.MachineCount);
        result.Times.Load = lap();
        run.Export(machines.WorkingDirectory() + "export", QFileInfo(output).absoluteFilePath(),
                   project.MachineCount);
        result.Times.Export = lap();
        run.End();
        result.Times.End = lap();
        result.Ok = true;
    } catch (const std::exception& error) {
        result.Error = QString::fromLocal8Bit(error.what());
    }
    return result;
}
