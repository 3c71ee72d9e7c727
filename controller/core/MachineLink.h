#pragma once

#include "Language.h"

#include <QString>
#include <QStringList>
#include <functional>

// The synchronisation a started machine uses (Options > Synchronisation): "--follow-transport",
// "--clock", "--link" and "--follow-clock" on its command line.
struct TStartSync {
    bool FollowTransport = false;
    bool SendClock = false;
    bool Link = false;
    bool FollowClock = false;
    bool operator==(const TStartSync&) const = default;
};

// The options a machine started with `sync` gets, in this order.
inline QStringList StartSyncArguments(const TStartSync& sync) {
    QStringList arguments;
    if (sync.FollowTransport)
        arguments << "--follow-transport";
    if (sync.SendClock)
        arguments << "--clock";
    if (sync.Link)
        arguments << "--link";
    if (sync.FollowClock)
        arguments << "--follow-clock";
    return arguments;
}

// The controller's end of the link to one machine. The core drives a machine only through this:
// name the link, say which status item to watch, open it (connect, or start the machine with
// the start command and connect once more), send macros and close. The real link speaks the
// command wire; tests use a recording fake.
class TMachineLink {
public:
    virtual ~TMachineLink() = default;

    // What starts the machine when nobody answers: a program file in the working directory
    // and its argument, e.g. "PK0 default1.pks".
    virtual void SetStartCommand(const QString& commandLine) = 0;
    // The language a machine this link starts speaks; one already running keeps its own.
    virtual void SetStartLanguage(TLanguage language) = 0;
    // The synchronisation a machine this link starts uses; one already running keeps its own.
    virtual void SetStartSync(const TStartSync& sync) = 0;
    // Names the link without connecting.
    virtual void SetLink(const QString& service, const QString& topic) = 0;
    // The item whose every change is delivered to StatusChanged once the link is open.
    virtual void Subscribe(const QString& item) = 0;
    // Connects; when that fails and a start command is set, starts the machine and connects
    // once more. True when the link is open.
    virtual bool Open() = 0;
    // Connects only to a machine that already answers under the link's name; starts none. A
    // name nobody answers under (also a socket a dead machine left behind) fails at once.
    virtual bool OpenIfAnswering() = 0;
    // Sends a macro without waiting; false (and nothing sent) when the link is not open.
    virtual bool Execute(const QString& macro) = 0;
    // Sends a macro and holds further macros until the machine has handled it, within a
    // bounded wait.
    virtual bool ExecuteAndBlock(const QString& macro) = 0;
    virtual void Close() = 0;

    // Receives the watched item's text with every control character turned into a space.
    std::function<void(const QString& text)> StatusChanged;
    // The open link was closed by the machine or broke (the machine ended, was killed or
    // crashed); not told for Close.
    std::function<void()> Dropped;
};

// A status reply as StatusChanged delivers it: the line the machine set, its CR LF turned into
// two spaces.
inline QString AsStatusLine(const QString& reply) {
    return reply + "  ";
}
