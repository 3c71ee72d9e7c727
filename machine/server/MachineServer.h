#pragma once

#include "CommandChannel.h"
#include "RemoteServer.h"
#include "ServerCommands.h"

class TMachineSession;
class TMachineView;

// The machine's command server as both start-ups publish it: the channel, the command handler
// over the session, and the socket that speaks the command wire.
class TMachineServer {
public:
    TMachineServer(TMachineSession& session, TDialogFolders folders, TMachineView& view);

    TCommandChannel Channel;
    TServerCommands Commands;
    TRemoteServer Remote;

    // Publishes the service named after the program file (its name without folder and
    // extension) and hands its macros to the command handler. False, with the reason in
    // Remote.ErrorString(), when it cannot (another machine answers under that name).
    bool Publish(const QString& programPath);
};
