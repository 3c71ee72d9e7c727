#include "ProgramPlaces.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

constexpr char DataFolderName[] = "plinkora";
constexpr char DocumentFolderName[] = "Plinkora";

QString Clean(const QString& folder) {
    return QDir::cleanPath(QDir(folder).absolutePath());
}

QString HomeFolder(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? value : QDir::homePath() + "/" + fallback;
}

bool WritableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

} // namespace

TUserFolders TUserFolders::Current() {
    TUserFolders user;
    user.ConfigHome = HomeFolder("XDG_CONFIG_HOME", ".config");
    user.DataHome = HomeFolder("XDG_DATA_HOME", ".local/share");
    user.MusicFolder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (user.MusicFolder.isEmpty() || Clean(user.MusicFolder) == Clean(QDir::homePath()))
        user.MusicFolder = QDir::homePath() + "/Music";
    for (const QString& folder :
         qEnvironmentVariable("XDG_DATA_DIRS").split(':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(folder))
            user.DataDirs << folder;
    if (user.DataDirs.isEmpty())
        user.DataDirs = {"/usr/local/share", "/usr/share"};
    return user;
}

TProgramPlaces::TProgramPlaces(const QString& programFile, TUserFolders user)
    : programFolder_(QFileInfo(programFile).absolutePath()),
      programName_(QFileInfo(programFile).fileName()), user_(std::move(user)) {
    const QString prefixData = programFolder_ + "/../share/" + DataFolderName;
    installed_ = !WritableFolder(programFolder_) || QFileInfo(prefixData).isDir() ||
                 Clean(programFolder_) == Clean(MachinesFolder(user_));
}

QString TProgramPlaces::SettingsFile(const QString& besidePath) const {
    if (!installed_)
        return besidePath;
    return user_.ConfigHome + "/" + DataFolderName + "/" + programName_ + ".ini";
}

QString TProgramPlaces::DocumentHome() const {
    return installed_ ? user_.MusicFolder + "/" + DocumentFolderName : programFolder_;
}

QString TProgramPlaces::Guide(const QString& fileName) const {
    QStringList folders = {programFolder_, programFolder_ + "/../share/doc/" + DataFolderName,
                           programFolder_ + "/../share/" + DataFolderName};
    for (const QString& data : user_.DataDirs)
        folders << data + "/doc/" + DataFolderName << data + "/" + DataFolderName;
    for (const QString& folder : folders)
        if (const QString path = QDir::cleanPath(folder + "/" + fileName); QFileInfo(path).isFile())
            return path;
    return programFolder_ + "/" + fileName;
}

QString TProgramPlaces::MachinesFolder(const TUserFolders& user) {
    return user.DataHome + "/" + DataFolderName + "/machines";
}

QString MakeFolder(const QString& folder) {
    if (QFileInfo(folder).isDir() || (QDir().mkpath(folder) && QFileInfo(folder).isDir()))
        return {};
    return "Cannot create folder " + folder;
}
