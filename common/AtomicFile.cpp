#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string TemporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is only lasting once the folder's entry is on the disk; a file system that cannot
// flush a folder has nothing more to do, so that is no failure.
void FlushFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

TAtomicFileWriter::~TAtomicFileWriter() {
    Abandon();
}

bool TAtomicFileWriter::Open(const std::string& path) {
    Abandon();
    path_ = path;
    temporary_ = TemporaryNameBeside(path);
    // 0666 lets the user's umask decide the permissions, as for any newly created file.
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        temporary_.clear();
        return false;
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        ::fchmod(fd_, old.st_mode & 07777);
    return true;
}

bool TAtomicFileWriter::Write(std::string_view data) {
    if (fd_ >= 0 && WriteAll(fd_, data))
        return true;
    Abandon();
    return false;
}

bool TAtomicFileWriter::Commit() {
    if (fd_ < 0)
        return false;
    bool ok = ::fsync(fd_) == 0;
    int cause = errno;
    if (::close(fd_) != 0 && ok) {
        ok = false;
        cause = errno;
    }
    fd_ = -1;
    if (ok && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        ok = false;
        cause = errno;
    }
    if (!ok) {
        errno = cause;
        Abandon();
        return false;
    }
    temporary_.clear();
    FlushFolder(FolderOf(path_));
    return true;
}

// Keeps errno: the caller reports the step that failed.
void TAtomicFileWriter::Abandon() {
    const int cause = errno;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        std::remove(temporary_.c_str());
    temporary_.clear();
    errno = cause;
}

bool ReplaceFileDurably(const std::string& path, std::string_view data) {
    TAtomicFileWriter writer;
    return writer.Open(path) && writer.Write(data) && writer.Commit();
}

std::string CreateFileBeside(const std::string& path) {
    const std::string temporary = TemporaryNameBeside(path);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return {};
    ::close(fd);
    return temporary;
}

bool MoveIntoPlace(const std::string& temporary, const std::string& path) {
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    const bool flushed = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!flushed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int cause = errno;
        std::remove(temporary.c_str());
        errno = cause;
        return false;
    }
    FlushFolder(FolderOf(path));
    return true;
}
