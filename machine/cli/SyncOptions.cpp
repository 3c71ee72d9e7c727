#include "SyncOptions.h"

#include "session/MachineSession.h"

namespace {

const std::string MidiInPrefix = std::string(MidiInOption) + "=";

bool* FlagOf(TSyncOptions& options, const std::string& argument) {
    if (argument == ClockOption)
        return &options.SendClock;
    if (argument == FollowTransportOption)
        return &options.FollowTransport;
    if (argument == LinkOption)
        return &options.Link;
    if (argument == FollowClockOption)
        return &options.FollowClock;
    return nullptr;
}

void TakeMidiInWord(TSyncOptions& options, const std::string* word) {
    if (!word) {
        options.Error = std::string(MidiInOption) + " needs none, jack or an input port's number";
        return;
    }
    options.MidiInput = ParseMidiInputWord(*word);
    if (!options.MidiInput)
        options.Error = std::string(MidiInOption) +
                        " needs none, jack or an input port's number, not '" + *word + "'";
}

} // namespace

TSyncOptions TakeSyncOptions(std::vector<std::string>& arguments) {
    TSyncOptions options;
    std::vector<std::string> kept;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (bool* flag = FlagOf(options, arguments[i])) {
            *flag = true;
        } else if (arguments[i] == MidiInOption) {
            TakeMidiInWord(options, i + 1 < arguments.size() ? &arguments[++i] : nullptr);
        } else if (arguments[i].starts_with(MidiInPrefix)) {
            const std::string word = arguments[i].substr(MidiInPrefix.size());
            TakeMidiInWord(options, &word);
        } else {
            kept.push_back(std::move(arguments[i]));
        }
    }
    arguments = std::move(kept);
    return options;
}

void UseSyncOptions(TMachineSession& session, const TSyncOptions& run, const TSyncOptions& kept) {
    session.SetSendClock(run.SendClock || kept.SendClock);
    session.SetFollowTransport(run.FollowTransport || kept.FollowTransport);
    if (const auto input = run.MidiInput ? run.MidiInput : kept.MidiInput)
        session.SetMidiInput(*input);
    const bool followClock = run.FollowClock || (kept.FollowClock && !run.Link);
    session.SetLink((run.Link || kept.Link) && !followClock);
    session.SetFollowClock(followClock);
}
