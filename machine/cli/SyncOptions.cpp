#include "SyncOptions.h"

#include "session/MachineSession.h"

#include <vector>

TSyncOptions TakeSyncOptions(std::vector<std::string>& arguments) {
    TSyncOptions options;
    std::erase_if(arguments, [&options](const std::string& argument) {
        bool* option = argument == ClockOption             ? &options.SendClock
                       : argument == FollowTransportOption ? &options.FollowTransport
                       : argument == LinkOption            ? &options.Link
                                                           : nullptr;
        if (option)
            *option = true;
        return option != nullptr;
    });
    return options;
}

void UseSyncOptions(TMachineSession& session, const TSyncOptions& run, const TSyncOptions& kept) {
    session.SetSendClock(run.SendClock || kept.SendClock);
    session.SetFollowTransport(run.FollowTransport || kept.FollowTransport);
    session.SetLink(run.Link || kept.Link);
}
