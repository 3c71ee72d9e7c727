#pragma once

// The words of the command wire, each spelled once for both programs: the command words a
// client executes (line 1 of a macro) and the status replies a machine sets.
namespace RemoteWords {

// Commands, in the order in which the machine tests them.
inline constexpr char Exit[] = "EXIT";
inline constexpr char Minimize[] = "MINIMIZE";
inline constexpr char Maximize[] = "MAXIMIZE";
inline constexpr char DoYouNeedSave[] = "DOYOUNEEDSAVE";
inline constexpr char PlaySong[] = "PLAYSONG";
inline constexpr char PlayPattern[] = "PLAYPATTERN";
inline constexpr char MidiReset[] = "MIDIRESET";
inline constexpr char CopyPattern[] = "COPYPATTERN";
inline constexpr char PreviousPattern[] = "PREVIUSPATTERN"; // the wire's own spelling
inline constexpr char NextPattern[] = "NEXTPATTERN";
inline constexpr char ShiftPatternUp[] = "SHIFTPATTERNUP";
inline constexpr char ShiftPatternDown[] = "SHIFTPATTERNDOWN";
inline constexpr char Undo[] = "UNDO";
inline constexpr char Redo[] = "REDO";
inline constexpr char Skin[] = "SKIN";
inline constexpr char Stop[] = "STOP";
// A new empty song, as File > New > Project with the default step count, without a question.
inline constexpr char NewSong[] = "NEWSONG";
inline constexpr char Connect[] = "CONNECT";
inline constexpr char Load[] = "LOAD";
inline constexpr char Save[] = "SAVE";
inline constexpr char SaveMidi[] = "SAVEMIDI";
inline constexpr char SetSpeed[] = "SETSPEED";
inline constexpr char SetVolume[] = "SETVOLUME";
inline constexpr char Mute[] = "MUTE";
inline constexpr char Directory[] = "DIRECTORY";
inline constexpr char MidiDirectory[] = "MIDIDIRECTORY";
inline constexpr char Layout[] = "LAYOUT";

// The controller's closing word to every link: "EXIT" as a user would type it.
inline constexpr char ExitOnClose[] = "Exit";

// Status replies. Texts with a varying part are put together from their pieces:
// MachineReady + n + Ready, path + Loaded or path + LoadingFailed, base + ".pks" + Saved.
inline constexpr char NeedSave[] = "NEEDSAVE";
inline constexpr char NoSave[] = "NOSAVE";
inline constexpr char MidiSaved[] = "MIDISAVED";
inline constexpr char Shutdown[] = "SHUTDOWN";
inline constexpr char MachineReady[] = "Machine ";
inline constexpr char Ready[] = " ready";
inline constexpr char Loaded[] = " loaded ";
inline constexpr char LoadingFailed[] = " loading failed ";
inline constexpr char Saved[] = " saved ";

} // namespace RemoteWords
