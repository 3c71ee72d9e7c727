// The slot program files: one copy of the machine program per slot, so that each machine
// publishes its own service name and keeps its own settings file.

#include "ClientFunctions.h"
#include "LogTexts.h"

#include <QFile>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A hard link where the file system allows, else a copy, made aside and renamed over the
// target, so a machine still running from the old file keeps running.
std::error_code MakeProgramCopy(const fs::path& source, const fs::path& target) {
    std::error_code error;
    if (fs::exists(target, error) && fs::equivalent(source, target, error))
        return {};
    fs::path aside = target;
    aside.replace_filename(
        std::string(".").append(target.filename().string()).append(".preparing"));
    fs::remove(aside, error);
    fs::create_hard_link(source, aside, error);
    if (error) {
        error.clear();
        fs::copy_file(source, aside, fs::copy_options::overwrite_existing, error);
    }
    if (!error)
        fs::rename(aside, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(aside, ignored);
    }
    return error;
}

} // namespace

bool TClientCore::PrepareServers() {
    const QString local = workingDirectory_ + "Plinkora";
    const QString source = QFile::exists(local) ? local : programDirectory_ + "Plinkora";
    const fs::path sourcePath(QFile::encodeName(source).toStdString());
    const bool missing = !QFile::exists(source);
    for (int i = 0; i < Slots; ++i) {
        if (missing) {
            AppendLog(LogTexts(language_).PreparingFailed.arg(i));
            continue;
        }
        const QString target = workingDirectory_ + "PK" + QString::number(i);
        const std::error_code error =
            MakeProgramCopy(sourcePath, fs::path(QFile::encodeName(target).toStdString()));
        if (error) {
            AppendLog(LogTexts(language_).PreparingFailed.arg(i));
            AppendLog(QString("(%1 -> %2: %3)")
                          .arg(source, target, QString::fromLocal8Bit(error.message().c_str())));
        }
    }
    if (missing) {
        AppendLog(LogTexts(language_).ProgramMissing.arg(workingDirectory_, programDirectory_));
        return false;
    }
    AppendLog(LogTexts(language_).Prepared.arg(SlotCount()));
    return true;
}
