#pragma once

#include <string>
#include <string_view>

// Writes all of `data` to `fd`, as many calls as the file needs (one, for a regular file),
// going on after an interrupted call; false when a write fails (errno tells why).
bool WriteAll(int fd, std::string_view data);

// Replaces the file at `path` with `data` so that at every moment, also after a crash or a
// power loss, the file is either the old one or the new one, whole: the data goes to a new
// file beside it, is flushed to the disk, renamed over the old one, and the folder is flushed
// so the rename lasts. An existing file keeps its permissions. False (the old file untouched,
// no temporary file left) when any step fails; errno tells why.
bool ReplaceFileDurably(const std::string& path, std::string_view data);

// The same, for data written piece by piece: Open makes the new file beside `path`, Write
// appends to it, Commit flushes it and puts it in place. Until Commit succeeds the old file is
// untouched; a writer destroyed without Commit (or after a failed step) removes its file.
class TAtomicFileWriter {
public:
    TAtomicFileWriter() = default;
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

    bool Open(const std::string& path);
    bool Write(std::string_view data);
    bool Commit();

private:
    void Abandon();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
};

// A file to be written by someone else and then put in place by MoveIntoPlace: an empty file
// beside `path`, created new; empty when it cannot be created (errno tells why).
std::string CreateFileBeside(const std::string& path);

// Flushes the finished file `temporary` to the disk and renames it over `path`, then flushes the
// folder. False (the temporary file removed, the old one untouched) when a step fails.
bool MoveIntoPlace(const std::string& temporary, const std::string& path);
