#include "MachineServer.h"

TMachineServer::TMachineServer(TMachineSession& session, TDialogFolders folders, TMachineView& view)
    : Commands(session, Channel, folders, view) {
    Remote.HandleMacro = [this](const QStringList& lines) {
        Commands.TestTopicExecuteMacro(lines);
    };
    Remote.Bind(Channel);
}

bool TMachineServer::Publish(const QString& programPath) {
    return Remote.Listen(TRemoteServer::ServiceNameForProgram(programPath));
}
