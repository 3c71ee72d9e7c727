#include "ProgramPlaces.h"

#include "TempDir.h"

#include <QDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A temporary tree with a program file in `folder` and the user's folders beside it.
struct TPlacesTree {
    TempDir dir;
    QString root = QString::fromStdString(dir.Path().string());
    TUserFolders user{root + "/config",
                      root + "/data",
                      root + "/Musik",
                      {root + "/local-share", root + "/share"}};

    QString Program(const QString& folder, const QString& name = "Plinkora") const {
        QDir().mkpath(root + "/" + folder);
        return root + "/" + folder + "/" + name;
    }
    void Touch(const QString& path) const {
        QDir().mkpath(QFileInfo(path).path());
        dir.Write(path.mid(root.size() + 1).toStdString(), "x");
    }
};

class TEnvironment {
public:
    TEnvironment(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~TEnvironment() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

TEST(ProgramPlaces, AWritableProgramFolderKeepsEverythingBesideTheProgram) {
    const TPlacesTree tree;
    const TProgramPlaces places(tree.Program("build"), tree.user);
    EXPECT_FALSE(places.Installed());
    EXPECT_EQ(places.SettingsFile(tree.root + "/build/Plinkora.ini"),
              tree.root + "/build/Plinkora.ini");
    EXPECT_EQ(places.DocumentHome(), tree.root + "/build");
}

TEST(ProgramPlaces, AnInstalledProgramUsesTheUsersFolders) {
    const TPlacesTree tree;
    QDir().mkpath(tree.root + "/usr/share/plinkora");
    const TProgramPlaces prefix(tree.Program("usr/bin"), tree.user);
    // The per-user machines folder is writable, yet its slot copies count as installed.
    const TProgramPlaces slot(tree.Program("data/plinkora/machines", "PK2"), tree.user);
    for (const TProgramPlaces* places : {&prefix, &slot}) {
        EXPECT_TRUE(places->Installed());
        EXPECT_EQ(places->DocumentHome(), tree.root + "/Musik/Plinkora");
    }
    EXPECT_EQ(prefix.SettingsFile("/ignored.ini"), tree.root + "/config/plinkora/Plinkora.ini");
    EXPECT_EQ(slot.SettingsFile("/ignored.ini"), tree.root + "/config/plinkora/PK2.ini");
    EXPECT_EQ(TProgramPlaces::MachinesFolder(tree.user), tree.root + "/data/plinkora/machines");
}

TEST(ProgramPlaces, AProgramFolderThatCannotBeWrittenMeansInstalled) {
    const TPlacesTree tree;
    const QString locked = tree.Program("locked");
    std::filesystem::permissions(QFile::encodeName(tree.root + "/locked").toStdString(),
                                 std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    if (::access(QFile::encodeName(tree.root + "/locked").constData(), W_OK) == 0)
        GTEST_SKIP() << "root writes every folder";
    EXPECT_TRUE(TProgramPlaces(locked, tree.user).Installed());
}

TEST(ProgramPlaces, GuidesAreFoundBesideTheProgramThenInTheInstalledDataFolders) {
    const TPlacesTree tree;
    const QString guide = "Plinkora Anleitung.html";
    const TProgramPlaces places(tree.Program("usr/bin"), tree.user);
    EXPECT_EQ(places.Guide(guide), tree.root + "/usr/bin/" + guide) << "missing: named beside";

    tree.Touch(tree.root + "/share/plinkora/" + guide);
    EXPECT_EQ(places.Guide(guide), tree.root + "/share/plinkora/" + guide);
    tree.Touch(tree.root + "/local-share/doc/plinkora/" + guide);
    EXPECT_EQ(places.Guide(guide), tree.root + "/local-share/doc/plinkora/" + guide);
    tree.Touch(tree.root + "/usr/share/plinkora/" + guide);
    EXPECT_EQ(places.Guide(guide), tree.root + "/usr/share/plinkora/" + guide);
    tree.Touch(tree.root + "/usr/share/doc/plinkora/" + guide);
    EXPECT_EQ(places.Guide(guide), tree.root + "/usr/share/doc/plinkora/" + guide);
    tree.Touch(tree.root + "/usr/bin/" + guide);
    EXPECT_EQ(places.Guide(guide), tree.root + "/usr/bin/" + guide);
}

TEST(ProgramPlaces, UserFoldersFollowTheXdgSettings) {
    const TPlacesTree tree;
    const TEnvironment home("HOME", QFile::encodeName(tree.root));
    const TEnvironment config("XDG_CONFIG_HOME", QFile::encodeName(tree.root + "/cfg"));
    const TEnvironment data("XDG_DATA_HOME", "relative/ignored");
    const TEnvironment dirs("XDG_DATA_DIRS", "/opt/share:relative:/usr/share");
    TUserFolders user = TUserFolders::Current();
    EXPECT_EQ(user.ConfigHome, tree.root + "/cfg");
    EXPECT_EQ(user.DataHome, tree.root + "/.local/share");
    EXPECT_EQ(user.MusicFolder, tree.root + "/Music");
    EXPECT_EQ(user.DataDirs, QStringList({"/opt/share", "/usr/share"}));

    QDir().mkpath(tree.root + "/cfg");
    tree.dir.Write("cfg/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Klänge\"\n");
    const TEnvironment noDirs("XDG_DATA_DIRS", "");
    user = TUserFolders::Current();
    EXPECT_EQ(user.MusicFolder, tree.root + "/Klänge");
    EXPECT_EQ(user.DataDirs, QStringList({"/usr/local/share", "/usr/share"}));
}

TEST(ProgramPlaces, MakeFolderNamesAFolderItCannotMake) {
    const TPlacesTree tree;
    EXPECT_EQ(MakeFolder(tree.root + "/a/b/c"), "");
    EXPECT_TRUE(QFileInfo(tree.root + "/a/b/c").isDir());
    EXPECT_EQ(MakeFolder(tree.root + "/a/b/c"), "");
    tree.dir.Write("file", "x");
    EXPECT_EQ(MakeFolder(tree.root + "/file/songs"),
              "Cannot create folder " + tree.root + "/file/songs");
}

} // namespace
