#pragma once

#include <QString>
#include <QStringList>

class TMachineSession;
class TMachineView;
class Tserverform;

// The remote commands: each one is an operation of the machine session, or of the view for what
// only the windows can do (layout, minimise and restore, the controlled mode). Unknown words are
// ignored without reply. A numeric argument that is no decimal integer throws ConvertError after
// the command's log line.
class TServerCommands {
public:
    TServerCommands(TMachineSession& session, Tserverform& server, TMachineView& view)
        : session_(session), server_(server), view_(view) {}

    // The server window's macro handler: line 1 is the command word, line 2 the argument.
    void TestTopicExecuteMacro(const QStringList& lines);

    // The application's title: "Plinkora", then " " + n once connected as machine n.
    QString ApplicationTitle() const;

private:
    bool Simple(const QString& word, const QString& line1);
    bool WithArgument(const QString& word, const QString& line1, const QString& argument);
    void Connect(const QString& argument);
    void Load(const QString& path);
    void Save(const QString& path);
    void SaveMidi(const QString& path);
    void SetSpeed(const QString& argument);
    void SetVolume(const QString& argument);
    void Log(const QString& line);
    void Reply(const QString& text);
    QString NumberedBase(const QString& path) const;

    TMachineSession& session_;
    Tserverform& server_;
    TMachineView& view_;
};
