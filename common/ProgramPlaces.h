#pragma once

#include <QString>
#include <QStringList>

// Where a program's own files go: its settings file, the default song and project folders and
// the user guides. Both programs decide this here.
//
// Run from a folder it may write to (the build folder, an unpacked folder), a program keeps
// everything beside itself, as it always has. It runs installed when
// - its folder cannot be written (a package's /usr/bin),
// - its folder is the bin/ of an installed prefix (<prefix>/share/plinkora exists beside it;
//   root may write /usr/bin, and an install under a temporary DESTDIR is writable too), or
// - it is a controller's slot copy in the per-user machines folder (MachinesFolder).
// Installed, the settings go to <config>/plinkora/<program file name>.ini, the default song and
// project folders under <music>/Plinkora, and the guides are found in the installed data
// folders.

// The user's folders, as the XDG base directories name them.
struct TUserFolders {
    QString ConfigHome;   // $XDG_CONFIG_HOME, else ~/.config
    QString DataHome;     // $XDG_DATA_HOME, else ~/.local/share
    QString MusicFolder;  // the XDG music folder (user-dirs.dirs), else ~/Music
    QStringList DataDirs; // $XDG_DATA_DIRS, else /usr/local/share and /usr/share

    static TUserFolders Current();
};

class TProgramPlaces {
public:
    // `programFile` is the program's absolute path (QCoreApplication::applicationFilePath()).
    explicit TProgramPlaces(const QString& programFile,
                            TUserFolders user = TUserFolders::Current());

    bool Installed() const { return installed_; }

    // `besidePath` when the program runs from its folder; installed
    // <config>/plinkora/<program file name>.ini, so each slot copy (PK0 ...) keeps its own.
    QString SettingsFile(const QString& besidePath) const;

    // The folder that holds the default document folders (PKSongs, PKProjects): the program's
    // folder when it runs from there, installed <music>/Plinkora. Never the current directory:
    // the folders must not depend on where the program was started from.
    QString DocumentHome() const;

    // A user guide by file name: the first that exists of the program's folder,
    // <prefix>/share/doc/plinkora, <prefix>/share/plinkora and doc/plinkora, plinkora under each
    // data folder; none there, the path beside the program (which the message then names).
    QString Guide(const QString& fileName) const;

    // <data>/plinkora/machines: where the installed controller works and its slot copies lie.
    static QString MachinesFolder(const TUserFolders& user);

private:
    QString programFolder_;
    QString programName_;
    TUserFolders user_;
    bool installed_ = false;
};

// Makes `folder` and its parents. Empty when it is there afterwards, else a plain message.
QString MakeFolder(const QString& folder);
