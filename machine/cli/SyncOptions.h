#pragma once

#include <string>
#include <vector>

class TMachineSession;

// "--clock", "--follow-transport" and "--link" on a machine's command line: for this run, the
// machine sends MIDI clock, follows the JACK transport or joins the Link session, whatever its
// settings keep. Every start-up
// takes them the same way: the windows, "--serve" and "--play".
struct TSyncOptions {
    bool SendClock = false;
    bool FollowTransport = false;
    bool Link = false;
};

inline constexpr char ClockOption[] = "--clock";
inline constexpr char FollowTransportOption[] = "--follow-transport";
inline constexpr char LinkOption[] = "--link";

// Removes every "--clock", "--follow-transport" and "--link" from `arguments` (they are no part of
// a song's name).
TSyncOptions TakeSyncOptions(std::vector<std::string>& arguments);

// The session's options for this run: on where the command line or the settings say so.
void UseSyncOptions(TMachineSession& session, const TSyncOptions& run, const TSyncOptions& kept);
