#pragma once

#include "PeriodicTimer.h"
#include "UserMessage.h"
#include "song/MidiVoice.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TMidiDebugLog;
class TMidiDevice;
class TOutsideTransport;
class TMidiPort;
struct TOutputTiming;

// The periodic timer that drives playback, and the flag that tells whether the output port is
// open (every caller tests DeviceOpen, not TMidiOut, to learn that).
struct TMidiSupport {
    uint32_t PeriodMin = 1; // timer capabilities, milliseconds
    uint32_t PeriodMax = 1000000;
    uint32_t TimerId = 0; // counts the timer's starts
    uint32_t Period = 0;  // milliseconds
    bool DeviceOpen = false;
    int32_t CapsResult = 0;

    // Runs `tick` every Period (1 ms) on the timer thread; true when the timer started.
    bool StartTimer(std::function<void()> tick);
    // Runs `tick` on the Period grid, sleeping over the periods it says need no call
    // (TPeriodicTimer); true when the timer started.
    bool StartTimer(TPeriodicTimer::TTick tick);
    // Ends the timer's sleep over idle periods at the next period boundary (never blocks).
    void WakeTimer() {
        ++HandWakes;
        timer_.Wake();
    }
    // Stops the timer; when it returns no tick runs any more.
    void StopTimer();
    bool TimerRunning() const { return timer_.Running() || handTimerRunning_; }
    // The deadline of the tick that runs (TPeriodicTimer::Deadline; HandDeadline for ticks
    // made by hand). Only the tick reads it.
    int64_t TickDeadline() const noexcept { return TicksByHand ? HandDeadline : timer_.Deadline(); }
    // The timer thread's real-time scheduling and CPU time, for diagnosis (TPeriodicTimer).
    bool TimerRealTime() const { return timer_.RealTime(); }
    std::chrono::nanoseconds TimerCpuTime() const { return timer_.ThreadCpuTime(); }

    // For tests that call the tick themselves: the timer then counts as running between
    // StartTimer and StopTimer, but no thread ticks; HandWakes counts the wakes they must model.
    bool TicksByHand = false;
    uint32_t HandWakes = 0;   // user-interface thread only
    int64_t HandDeadline = 0; // the deadline a hand-made tick stands for (nanoseconds)

private:
    TPeriodicTimer timer_;
    bool handTimerRunning_ = false;
};

// A MIDI device family: how many devices it has, and the size of the capability record used
// to query them.
class TMidi {
public:
    virtual ~TMidi() = default;
    virtual int32_t DeviceCount() = 0;

    int32_t CapsSize = 0;
    int32_t NumDevs = 0; // DeviceCount() at construction
};

// The machine's one MIDI output: the open device, the voice its messages are built with, and
// reported sending.
//
// Threading: every operation runs on the user-interface thread, except OutShortMsg, which the
// playback tick also calls. Handle and LastResult are atomics, so neither side ever sees a torn
// value. Handle is read afresh on every send; Close and Open take a device out of service
// only after a send that may still use it has returned, so a send never reaches a freed device.
// Sends from the two threads must not overlap (a device serves one call at a time): the
// playback engine keeps the tick's sends apart from those of the user-interface thread.
//
// Reported operations (SendShort, Open, Close, Reset) keep their result code in LastResult and
// write one line into the debugger log, when there is one.
class TMidiOut : public TMidi {
public:
    static constexpr int32_t CapsRecordSize = 52;

    // Message composition only: no devices, and every open fails with "no device driver".
    TMidiOut();
    // `port` and `support` outlive the output; `debugger` may be null (no debugger window).
    TMidiOut(TMidiPort& port, TMidiSupport& support, TMidiDebugLog* debugger);
    ~TMidiOut() override; // releases an open device quietly
    TMidiOut(const TMidiOut&) = delete;
    TMidiOut& operator=(const TMidiOut&) = delete;

    int32_t DeviceCount() override;

    TMidiVoice Voice;                          // channel, programs, transposition
    std::atomic<TMidiDevice*> Handle{nullptr}; // shared: the open device, null when closed
    int32_t DeviceId = -1;                     // -1 = "Midi Mapper"
    std::atomic<int32_t> LastResult{0};        // shared: result code of the last reported call
    // After a failed Open, the port's explanation for the user (TMidiPort::OpenFailure); empty
    // after a successful one. User-interface thread only.
    TUserMessage OpenFailure;
    // Words OpenFailure for the debugger line (the machine session words it in the user's
    // language).
    std::function<std::string(const TUserMessage&)> Wording = DescribeMessage;

    // Sends one word on the open device and returns the device's code (InvalidHandle when no
    // device is open); keeps and logs nothing. Waits while the tick is sending.
    int32_t OutShortMsg(uint32_t message) noexcept;

    // The tick's sends: TryLockDevice is false, without waiting, while the user-interface thread
    // uses the device; after a true result SendLocked may be called, then UnlockDevice.
    bool TryLockDevice() noexcept;
    int32_t SendLocked(uint32_t message) noexcept;
    // The same, due at `dueMonotonicNs` (TMidiDevice::ShortMsgAt).
    int32_t SendLocked(uint32_t message, int64_t dueMonotonicNs) noexcept;
    void UnlockDevice() noexcept;
    // What the open device tells beyond sending (TMidiDevice::Transport, Gone); user-interface
    // thread.
    TOutsideTransport* Transport() const;
    bool DeviceGone() const;
    // How the open device's output is timed (TMidiDevice::Timing); waits while the tick sends.
    TOutputTiming OutputTiming() noexcept;
    // TMidiDevice::HoldPeriods, for the open device and every device opened later; waits while
    // the tick sends.
    void HoldPeriods(uint32_t periods) noexcept;

    bool SendShort(uint32_t message); // reported; true when the code is 0
    bool Open();                      // opens DeviceId; sets DeviceOpen to the outcome
    bool Close();                     // reported; DeviceOpen becomes false
    void AllNotesOff();               // note-offs straight through; keys above 127 are skipped
    bool Reset();                     // AllNotesOff, then the device reset, reported
    void CloseDevice();               // Reset, Close

    // Every channel slot takes `program`; when the port is open the program change goes out
    // 16 times on the output channel. Returns the program's name.
    std::string_view SetPatch(int32_t program);
    // Bank select coarse (control 0 = bank) and fine (control 32 = 0) on the output channel.
    void SelectBank(int32_t bank);

    void SetDebugger(TMidiDebugLog* debugger) { debugger_ = debugger; }

private:
    uint32_t holdPeriods_ = 0;

public:
private:
    TMidiDevice* TakeHandle();
    void LockDevice() noexcept;
    void Report(std::string_view prefix, int32_t code, std::string_view detail = {});
    void SetDeviceOpen(bool open);
    bool IsDeviceOpen() const;

    TMidiPort* port_ = nullptr;
    TMidiSupport* support_ = nullptr;
    TMidiDebugLog* debugger_ = nullptr;
    std::atomic<bool> deviceLocked_{false};
};
