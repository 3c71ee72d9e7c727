#pragma once

// A controller core over real links in a working folder of its own, for the tests that start
// real machines.

#include "ClientFunctions.h"
#include "RemoteLink.h"
#include "RemoteWords.h"
#include "machine/server/RemoteServerTestSupport.h"

#include <QFileInfo>
#include <QTest>
#include <array>
#include <gtest/gtest.h>
#include <map>

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Machine n's answer to its CONNECT, as the core receives it.
inline QString ReadyLine(int slot) {
    return AsStatusLine(RemoteWords::MachineReady + QString::number(slot) + RemoteWords::Ready);
}

// A Link session that stays at one tempo, so that the controller's own peer needs no network.
class TSteadySessionTempo : public TSessionTempo {
public:
    explicit TSteadySessionTempo(double bpm) : bpm_(bpm) {}
    double Bpm() override { return bpm_; }
    void SetBpm(double bpm) override { bpm_ = bpm; }

private:
    double bpm_;
};

// A core over real links in a working folder of its own; the machines run offscreen and play
// into a message log.
class RealController {
public:
    RealController() {
        qputenv("PLINKORA_MIDI_LOG", QFile::encodeName(Q(work.File("midi.log"))));
        TClientCore::TLinks links;
        for (int slot = 0; slot < 4; ++slot) {
            auto link = std::make_unique<TRemoteLink>(Folder());
            link->SetOutputFile(Q(work.File("machines.log")));
            this->links[slot] = link.get();
            links[slot] = std::move(link);
        }
        const QString programs = QFileInfo(PLINKORA_PROGRAM).absolutePath() + "/";
        core = std::make_unique<TClientCore>(std::move(links), Folder(), programs);
        core->JoinSession = [](double bpm) { return std::make_unique<TSteadySessionTempo>(bpm); };
        QObject::connect(core.get(), &TClientCore::StatusReceived,
                         [this](int slot, const QString& text) { replies[slot] << text; });
    }
    ~RealController() {
        core->CloseAll();
        for (TRemoteLink* link : links)
            EXPECT_TRUE(WaitEnded(link->LaunchedPid())) << "every machine ends";
        qunsetenv("PLINKORA_MIDI_LOG");
    }
    static bool WaitEnded(qint64 pid) {
        return QTest::qWaitFor([&] { return TRemoteLink::ProcessEnded(pid); }, 8000);
    }
    QString Folder() const { return Q(work.Path().string()) + "/"; }
    bool WaitReply(int slot, const QString& text) {
        return QTest::qWaitFor([&] { return replies[slot].contains(text); }, 8000);
    }

    RuntimeDir runtime;
    TempDir work;
    std::array<TRemoteLink*, 4> links{};
    std::map<int, QStringList> replies;
    std::unique_ptr<TClientCore> core;
};
