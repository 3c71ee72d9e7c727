#include "MidiPortLog.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <time.h>
#include <unistd.h>

namespace {

class TLogMidiDevice : public TMidiDevice {
public:
    explicit TLogMidiDevice(int fd) : fd_(fd) {}
    ~TLogMidiDevice() override { Close(); }

    void LogOpen(int32_t deviceId) {
        Begin();
        Put(" open ");
        PutNumber(deviceId);
        End();
    }

    int32_t ShortMsg(uint32_t message) noexcept override {
        if (fd_ < 0)
            return MidiResult::InvalidHandle;
        Begin();
        Put(" short ");
        PutHex(message & 0xFF);
        Put(" ");
        PutHex((message >> 8) & 0xFF);
        Put(" ");
        PutHex((message >> 16) & 0xFF);
        return End();
    }

    int32_t Reset() noexcept override {
        if (fd_ < 0)
            return MidiResult::InvalidHandle;
        Begin();
        Put(" reset");
        return End();
    }

    int32_t Close() noexcept override {
        if (fd_ < 0)
            return MidiResult::InvalidHandle;
        Begin();
        Put(" close");
        End();
        const bool written = Flush();
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return written && closed ? MidiResult::Ok : MidiResult::Unspecified;
    }

private:
    static constexpr size_t LongestLine = 64;

    void Begin() {
        if (buffer_.size() - used_ < LongestLine)
            Flush();
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        PutNumber(static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
    }

    int32_t End() {
        Put("\n");
        return failed_ ? MidiResult::Unspecified : MidiResult::Ok;
    }

    void Put(std::string_view text) {
        for (char c : text)
            buffer_[used_++] = c;
    }

    void PutNumber(int64_t value) {
        const auto end = std::to_chars(&buffer_[used_], buffer_.data() + buffer_.size(), value);
        used_ = static_cast<size_t>(end.ptr - buffer_.data());
    }

    void PutHex(uint32_t byte) {
        static constexpr char Digits[] = "0123456789ABCDEF";
        buffer_[used_++] = Digits[(byte >> 4) & 15];
        buffer_[used_++] = Digits[byte & 15];
    }

    bool Flush() {
        size_t done = 0;
        while (done < used_) {
            const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                failed_ = true;
                break;
            }
            done += static_cast<size_t>(n);
        }
        used_ = 0;
        return !failed_;
    }

    int fd_;
    bool failed_ = false;
    size_t used_ = 0;
    std::array<char, 16384> buffer_;
};

} // namespace

int32_t OpenLogMidiDevice(const std::string& path, int32_t deviceId,
                          std::unique_ptr<TMidiDevice>& device) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return MidiResult::NoDriver;
    auto log = std::make_unique<TLogMidiDevice>(fd);
    log->LogOpen(deviceId);
    device = std::move(log);
    return MidiResult::Ok;
}
