#pragma once

#include "shell/FormPositions.h"

#include <QString>
#include <QStringList>
#include <cstdint>

class TMachineWindows;

// The window places of the remote "LAYOUT" command for machine number n: 1 and 2 place the
// machine's windows in two rows of docked windows (2 with the pattern editor above the main
// window in the second row), 3 undocks the editors into a row of their own. Returns false,
// changing nothing, for any other layout. `serverShown` tells whether the server window shows.
bool MachineLayout(int layout, int32_t n, TWindowRects& w, TLayoutState& state, bool& serverShown);

// The remote commands: every command presses the same buttons and menu items a user has, so it
// goes through the owning window's handler. Unknown words are ignored without reply. A numeric
// argument that is no decimal integer throws ConvertError after the command's log line.
class TServerCommands {
public:
    explicit TServerCommands(TMachineWindows& windows) : w_(windows) {}

    // The server window's macro handler: line 1 is the command word, line 2 the argument.
    void TestTopicExecuteMacro(const QStringList& lines);

    // The application's title: "Plinkora", then " " + n once connected as machine n.
    QString ApplicationTitle() const;

private:
    bool Simple(const QString& word, const QString& line1);
    bool WithArgument(const QString& word, const QString& line1, const QString& argument);
    void Connect(const QString& argument);
    void EnterControlledMode();
    void PlaySong();
    void StepTrack(int delta);
    void Load(const QString& path);
    void Save(const QString& path);
    void SaveMidi(const QString& path);
    void SetSpeed(const QString& argument);
    void SetVolume(const QString& argument);
    void Layout(const QString& argument);
    void Log(const QString& line);
    void Reply(const QString& text);
    QString NumberedBase(const QString& path) const;

    TMachineWindows& w_;
};
