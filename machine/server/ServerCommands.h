#pragma once

#include <QString>
#include <QStringList>
#include <string>

class TCommandChannel;
class TMachineSession;
class TMachineView;

// The folders of the file dialogs that "DIRECTORY" and "MIDIDIRECTORY" set: settings of the
// machine, written to the settings file at shutdown.
struct TDialogFolders {
    std::string& Songs;
    std::string& Midi;
};

// The remote commands: each one is an operation of the machine session, of the channel (the
// log, the replies, the shutdown), of the settings (the folders) or of the view for what only
// windows can do (layout, minimise and restore, the controlled mode). Unknown words are ignored
// without reply. A numeric argument that is no decimal integer throws ConvertError after the
// command's log line.
class TServerCommands {
public:
    TServerCommands(TMachineSession& session, TCommandChannel& channel, TDialogFolders folders,
                    TMachineView& view)
        : session_(session), channel_(channel), folders_(folders), view_(view) {}

    // The macro handler: line 1 is the command word, line 2 the argument.
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
    TCommandChannel& channel_;
    TDialogFolders folders_;
    TMachineView& view_;
};
