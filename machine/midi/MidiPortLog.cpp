#include "MidiPortLog.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <time.h>
#include <unistd.h>

namespace {

// One line, formatted on the stack.
class TLogLine {
public:
    TLogLine() {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        PutNumber(static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
    }

    void Put(std::string_view text) {
        for (char c : text)
            text_[used_++] = c;
    }

    void PutNumber(int64_t value) {
        const auto end = std::to_chars(&text_[used_], text_.data() + text_.size(), value);
        used_ = static_cast<size_t>(end.ptr - text_.data());
    }

    void PutHex(uint32_t byte) {
        static constexpr char Digits[] = "0123456789ABCDEF";
        text_[used_++] = Digits[(byte >> 4) & 15];
        text_[used_++] = Digits[byte & 15];
    }

    // Appends the line end and writes the line with one call, so that the line is in the file
    // when the call returns and lines of several writers to one file never mix.
    bool WriteTo(int fd) {
        Put("\n");
        size_t done = 0;
        while (done < used_) {
            const ssize_t n = ::write(fd, text_.data() + done, used_ - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    std::array<char, 64> text_; // the longest line, "<20 digits> short 90 3C 7F\n", is 36
    size_t used_ = 0;
};

class TLogMidiDevice : public TMidiDevice {
public:
    explicit TLogMidiDevice(int fd) : fd_(fd) {}
    ~TLogMidiDevice() override { Close(); }

    int32_t ShortMsg(uint32_t message) noexcept override {
        if (fd_ < 0)
            return MidiResult::InvalidHandle;
        TLogLine line;
        line.Put(" short ");
        line.PutHex(message & 0xFF);
        line.Put(" ");
        line.PutHex((message >> 8) & 0xFF);
        line.Put(" ");
        line.PutHex((message >> 16) & 0xFF);
        return Write(line);
    }

    int32_t Reset() noexcept override {
        if (fd_ < 0)
            return MidiResult::InvalidHandle;
        TLogLine line;
        line.Put(" reset");
        return Write(line);
    }

    int32_t Close() noexcept override {
        if (fd_ < 0)
            return MidiResult::InvalidHandle;
        TLogLine line;
        line.Put(" close");
        const bool written = Write(line) == MidiResult::Ok;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return written && closed ? MidiResult::Ok : MidiResult::Unspecified;
    }

private:
    int32_t Write(TLogLine& line) {
        return line.WriteTo(fd_) ? MidiResult::Ok : MidiResult::Unspecified;
    }

    int fd_;
};

} // namespace

int32_t OpenLogMidiDevice(const std::string& path, int32_t deviceId,
                          std::unique_ptr<TMidiDevice>& device) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return MidiResult::NoDriver;
    TLogLine line;
    line.Put(" open ");
    line.PutNumber(deviceId);
    if (!line.WriteTo(fd)) {
        ::close(fd);
        return MidiResult::NoDriver;
    }
    device = std::make_unique<TLogMidiDevice>(fd);
    return MidiResult::Ok;
}
