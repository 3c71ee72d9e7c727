#pragma once

#include "ClientFunctions.h"
#include "RemoteWords.h"
#include "TempDir.h"

#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

// Texts in failure messages, quoted so that their spaces show.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << "{\n";
    for (const QString& text : texts)
        *out << "  \"" << text.toStdString() << "\"\n";
    *out << '}';
}

// Every link step of every slot, in order, in one journal: "open PK0", "PK1 <- SETVOLUME 20",
// "close PK3". A macro's CR LF become spaces so that lines compare easily; a macro to a link
// that is not open is journalled as dropped. Each link also keeps the exact bytes it sent.
struct TJournal {
    QStringList steps;
    QStringList Sent() const { return steps.filter(" <- "); }
};

// The journal line of a macro a link sent: "PK0 <- SETSPEED 830", or "PK0 <- NEXTPATTERN" when
// the argument line is empty.
inline QString SentStep(const QString& service, const QString& command,
                        const QString& argument = {}) {
    return service + " <- " + (argument.isEmpty() ? command : command + " " + argument);
}

// The core's log line of a command sent to a slot: "CONNECT --> 1".
inline QString SentLogLine(const QString& command, int slot) {
    return command + " --> " + QString::number(slot);
}

class TFakeLink : public TMachineLink {
public:
    // Journalled under `name` until the core names the link.
    TFakeLink(TJournal& journal, QString name) : journal_(journal), service_(std::move(name)) {}

    void SetStartCommand(const QString& commandLine) override { startCommand = commandLine; }
    void SetStartLanguage(TLanguage language) override { startLanguage = language; }
    void SetStartSync(const TStartSync& sync) override { startSync = sync; }
    void SetLink(const QString& service, const QString&) override { service_ = service; }
    void Subscribe(const QString& item) override { subscribed = item; }
    bool Open() override {
        journal_.steps << "open " + service_;
        open = opens;
        return open;
    }
    bool OpenIfAnswering() override {
        journal_.steps << "probe " + service_;
        open = answering;
        return open;
    }
    bool Execute(const QString& macro) override { return Record(macro); }
    bool ExecuteAndBlock(const QString& macro) override { return Record(macro, " (blocking)"); }
    void Close() override {
        journal_.steps << "close " + service_;
        open = false;
    }
    // The machine ends: the open link drops.
    void Drop() {
        open = false;
        if (Dropped)
            Dropped();
    }

    bool opens = true;      // whether Open succeeds
    bool answering = false; // whether a machine already runs under the link's name
    // Status texts the machine sets while handling a command word, e.g. {"DOYOUNEEDSAVE",
    // "NOSAVE  "}.
    std::map<QString, QString> answers;
    bool open = false;
    QString startCommand;
    std::optional<TLanguage> startLanguage;
    std::optional<TStartSync> startSync;
    QString subscribed;
    // Every macro this link sent, as the bytes the command wire carries.
    QList<QByteArray> wire;

private:
    bool Record(QString macro, const QString& how = {}) {
        if (open)
            wire << macro.toUtf8();
        const QString word = macro.section("\r\n", 0, 0);
        macro.replace("\r\n", " ");
        journal_.steps << (open ? service_ + " <- " : service_ + " dropped ") + macro.trimmed() +
                              how;
        if (open && answers.contains(word) && StatusChanged)
            StatusChanged(answers[word]);
        return open;
    }

    TJournal& journal_;
    QString service_;
};

// A Link session without a network: its tempo is what the test sets it to; it keeps the tempo
// the controller joined with and what it proposed.
struct TFakeSession {
    double bpm = 120;
    std::optional<double> joinedWith;
    std::vector<double> proposed;
};

class TFakeSessionTempo : public TSessionTempo {
public:
    explicit TFakeSessionTempo(TFakeSession& session) : session_(session) {}
    double Bpm() override { return session_.bpm; }
    void SetBpm(double bpm) override {
        session_.proposed.push_back(bpm);
        session_.bpm = bpm;
    }

private:
    TFakeSession& session_;
};

// A core over four fake links and a fake Link session, working in a temporary folder.
class TFakeController {
public:
    TFakeController() {
        TClientCore::TLinks links;
        for (int slot = 0; slot < 4; ++slot) {
            auto link = std::make_unique<TFakeLink>(journal, "PK" + QString::number(slot));
            fakes[slot] = link.get();
            links[slot] = std::move(link);
        }
        core = std::make_unique<TClientCore>(std::move(links), Folder(), Folder());
        core->JoinSession = [this](double bpm) {
            session.joinedWith = bpm;
            return std::make_unique<TFakeSessionTempo>(session);
        };
    }
    QString Folder() const { return QString::fromStdString(dir.Path().string()) + "/"; }
    TFakeLink& Fake(int slot) { return *fakes[slot - 1]; }
    // The journal from here on.
    void ClearJournal() { journal.steps.clear(); }

    TempDir dir;
    TJournal journal;
    TFakeSession session;
    std::array<TFakeLink*, 4> fakes{};
    std::unique_ptr<TClientCore> core;
};

// Answers the save question with a fixed answer and counts how often it was asked.
class TScriptedPrompts : public TClientPrompts {
public:
    TAnswer AskSaveFirst() override {
        ++asked;
        return answer;
    }
    bool ChooseProjectFileAndSave() override {
        ++saveDialogs;
        return false;
    }
    TAnswer answer = TAnswer::No;
    int asked = 0;
    int saveDialogs = 0;
};
