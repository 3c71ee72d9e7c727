#pragma once

#include "MachineLink.h"
#include "RemoteClient.h"

#include <QObject>

// The link to a real machine: the command wire through TRemoteClient, and a machine started
// from the working directory as a detached process, so it outlives a controller that ends
// abruptly and a later controller links to it again.
class TRemoteLink : public QObject, public TMachineLink {
    Q_OBJECT
public:
    static constexpr int StartWaitMs = 10000;  // for a started machine's service to answer
    static constexpr int BlockWaitMs = 2000;   // for a blocking macro to be handled
    static constexpr int ConnectWaitMs = 2000; // for an answering machine to open the topic

    // `workingDirectory` ends in '/'.
    explicit TRemoteLink(QString workingDirectory, QObject* parent = nullptr);

    void SetStartCommand(const QString& commandLine) override;
    void SetStartLanguage(TLanguage language) override;
    void SetStartSync(const TStartSync& sync) override;
    void SetLink(const QString& service, const QString& topic) override;
    void Subscribe(const QString& item) override;
    bool Open() override;
    bool OpenIfAnswering() override;
    bool Execute(const QString& macro) override;
    bool ExecuteAndBlock(const QString& macro) override;
    void Close() override;

    // Where a started machine's standard output and error go (appended); empty: the
    // controller's own.
    void SetOutputFile(const QString& path) { outputFile_ = path; }
    // Starts machines that build no windows ("--serve"): for a run that only wants their files.
    void SetStartWithoutWindows(bool withoutWindows) { withoutWindows_ = withoutWindows; }
    // Starts the machine with the start command without waiting for it; a later Open waits for
    // this machine instead of starting another. False when it could not be started.
    bool Launch();
    bool IsOpen() const { return client_.IsConnected(); }
    // The process this link started last; 0 when it started none.
    qint64 LaunchedPid() const { return launchedPid_; }
    QString ErrorString() const { return client_.ErrorString(); }

    // Whether a process has ended (also when it lingers as a zombie nobody reaps).
    static bool ProcessEnded(qint64 pid);

private:
    bool StartProcess();
    bool WaitUntilAnswering();
    void AdviseItem();
    void Deliver(const QString& item, const QString& value);

    QString workingDirectory_;
    QString startCommand_;
    TLanguage startLanguage_ = DefaultLanguage;
    TStartSync startSync_;
    QString item_;
    QString outputFile_;
    qint64 launchedPid_ = 0;
    bool launchedAhead_ = false;
    bool withoutWindows_ = false;
    TRemoteClient client_;
};
