#pragma once

#include "midi/MidiInput.h"

#include <optional>
#include <string>
#include <vector>

class TMachineSession;

// "--clock", "--follow-transport", "--link", "--midi-in none|jack|N" and "--follow-clock" on a
// machine's command line: for this run, the machine sends MIDI clock, follows the JACK transport,
// joins the Link session, reads this MIDI input or follows the MIDI clock on it, whatever its
// settings keep. Every start-up takes them the same way: the windows, "--serve" and "--play".
struct TSyncOptions {
    bool SendClock = false;
    bool FollowTransport = false;
    bool Link = false;
    std::optional<TMidiInputChoice> MidiInput; // none given: the settings' input
    bool FollowClock = false;
    // Why the options cannot be taken ("--midi-in" without a word it knows); empty when they can.
    std::string Error;

    bool Any() const { return SendClock || FollowTransport || Link || MidiInput || FollowClock; }
};

inline constexpr char ClockOption[] = "--clock";
inline constexpr char FollowTransportOption[] = "--follow-transport";
inline constexpr char LinkOption[] = "--link";
inline constexpr char MidiInOption[] = "--midi-in";
inline constexpr char FollowClockOption[] = "--follow-clock";

// Removes these options (and the word of "--midi-in WORD" or "--midi-in=WORD") from
// `arguments`: they are no part of a song's name.
TSyncOptions TakeSyncOptions(std::vector<std::string>& arguments);

// The session's options for this run: on where the command line or the settings say so, the
// command line's input before the settings' one. Following the clock and Link exclude each other:
// the one the command line names wins; named both times (or neither), following the clock.
void UseSyncOptions(TMachineSession& session, const TSyncOptions& run, const TSyncOptions& kept);
