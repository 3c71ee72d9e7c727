#include "SafeFile.h"

#include "AtomicFile.h"
#include "FileError.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FileError::FileError(TUserMessage message)
    : std::runtime_error(DescribeMessage(message)), message_(std::move(message)) {}

TUserMessage CannotOpenMessage(const std::string& path) {
    return Message(TMessageKind::CannotOpen, {Plain(path)});
}

TUserMessage CannotCreateMessage(const std::string& path) {
    return Message(TMessageKind::CannotCreate, {Plain(path)});
}

void WriteFileAtomically(const std::string& path, std::string_view data) {
    if (!ReplaceFileDurably(path, data))
        throw FileError(CannotCreateMessage(path));
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
            throw FileError(Message(TMessageKind::ReadError, {Plain(path)}));
        }
        if (got == 0)
            break;
        contents.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return contents;
}
