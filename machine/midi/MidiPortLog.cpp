#include "MidiPortLog.h"

#include "AtomicFile.h"
#include "Futex.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
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

    // The line with its end.
    std::string_view Ended() {
        if (used_ == 0 || text_[used_ - 1] != '\n')
            Put("\n");
        return {text_.data(), used_};
    }

    std::string_view Text() const { return {text_.data(), used_}; }

private:
    std::array<char, 64> text_; // the longest line, "<20 digits> short 90 3C 7F\n", is 36
    size_t used_ = 0;
};

// Lines go from the sending thread to a writer thread through a ring: the playback tick
// formats its lines and hands them over without a system call; its flush at the end of the
// moment wakes the writer if it sleeps (one futex wake). It never waits for the file. Sends are
// serialised by the output's device lock, so there is one producer at a time.
class TLogMidiDevice : public TMidiDevice {
public:
    explicit TLogMidiDevice(int fd) : fd_(fd), ring_(new TSlot[RingLines]) {
        writer_ = std::thread(&TLogMidiDevice::WriteLines, this);
    }
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
        return Hand(line);
    }

    int32_t Reset() noexcept override {
        if (fd_ < 0)
            return MidiResult::InvalidHandle;
        TLogLine line;
        line.Put(" reset");
        return Hand(line);
    }

    // Every line handed over reaches the file before the close line.
    int32_t Close() noexcept override {
        if (fd_ < 0)
            return MidiResult::InvalidHandle;
        stopping_.store(true);
        WakeWriter(true);
        writer_.join();
        TLogLine line;
        line.Put(" close");
        const bool written = WriteAll(fd_, line.Ended()) && !failed_.load();
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return written && closed ? MidiResult::Ok : MidiResult::Unspecified;
    }

private:
    static constexpr size_t RingLines = 8192; // 8 s of the busiest playback, 512 KiB
    static constexpr uint64_t BatchLines = 1024;
    struct TSlot {
        TLogLine Line;
    };

    int32_t Hand(TLogLine& line) noexcept {
        if (failed_.load(std::memory_order_relaxed))
            return MidiResult::Unspecified;
        const uint64_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) >= RingLines) {
            dropped_.fetch_add(1, std::memory_order_relaxed); // the writer says so in the log
            return MidiResult::Ok;
        }
        line.Ended();
        ring_[head % RingLines].Line = line;
        head_.store(head + 1, std::memory_order_seq_cst);
        return MidiResult::Ok;
    }

    // Wakes the writer for the lines handed since the last flush; no system call while it is
    // awake anyway.
    void Flush() noexcept override {
        if (fd_ >= 0)
            WakeWriter(false);
    }

    void WakeWriter(bool always) noexcept {
        if (always || sleeping_.load(std::memory_order_seq_cst)) {
            sleeping_.store(false);
            wakeWord_.fetch_add(1);
            FutexWake(wakeWord_, 1);
        }
    }

    // Every line handed over by the time the writer looks goes out with one write call: the
    // lines of one playback moment usually make one write and one wake-up, not one per line.
    void WriteLines() {
        std::string batch;
        batch.reserve(BatchLines * sizeof(TLogLine));
        for (;;) {
            const uint32_t seen = wakeWord_.load();
            uint64_t tail = tail_.load(std::memory_order_relaxed);
            const uint64_t head = head_.load(std::memory_order_acquire);
            while (tail != head) {
                batch.clear();
                const uint64_t end = std::min(head, tail + BatchLines);
                for (uint64_t line = tail; line != end; ++line)
                    batch.append(ring_[line % RingLines].Line.Text());
                if (!WriteAll(fd_, batch))
                    failed_.store(true);
                tail = end;
                tail_.store(tail, std::memory_order_release);
            }
            if (const uint64_t lost = dropped_.exchange(0); lost != 0) {
                TLogLine line;
                line.Put(" dropped ");
                line.PutNumber(static_cast<int64_t>(lost));
                WriteAll(fd_, line.Ended());
            }
            if (stopping_.load() && tail_.load() == head_.load())
                return;
            sleeping_.store(true, std::memory_order_seq_cst);
            if (head_.load(std::memory_order_seq_cst) != tail_.load() || stopping_.load()) {
                sleeping_.store(false);
                continue;
            }
            FutexWait(wakeWord_, seen);
        }
    }

    int fd_;
    std::unique_ptr<TSlot[]> ring_;
    std::atomic<uint64_t> head_{0};
    std::atomic<uint64_t> tail_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<bool> sleeping_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> failed_{false};
    std::atomic<uint32_t> wakeWord_{0};
    std::thread writer_;
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
    if (!WriteAll(fd, line.Ended())) {
        ::close(fd);
        return MidiResult::NoDriver;
    }
    device = std::make_unique<TLogMidiDevice>(fd);
    return MidiResult::Ok;
}
