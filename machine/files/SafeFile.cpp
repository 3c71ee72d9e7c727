#include "SafeFile.h"

#include "FileError.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

std::string CannotOpenMessage(const std::string& path) {
    return "Cannot open file " + path;
}
std::string CannotCreateMessage(const std::string& path) {
    return "Cannot create file " + path;
}

namespace {

std::string TemporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

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

} // namespace

void WriteFileAtomically(const std::string& path, std::string_view data) {
    const std::string temporary = TemporaryNameBeside(path);
    // 0666 lets the user's umask decide the permissions, as for any newly created file.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        throw FileError(CannotCreateMessage(path));
    const bool written = WriteAll(fd, data) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw FileError(CannotCreateMessage(path));
    }
}

std::string ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError(CannotOpenMessage(path));
    std::string contents;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            throw FileError("Read error in file " + path);
        }
        if (got == 0)
            break;
        contents.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return contents;
}
