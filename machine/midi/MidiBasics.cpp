#include "MidiBasics.h"

#include "MidiPort.h"
#include "Midi_Errors.h"
#include "ProgramNames.h"

#include <algorithm>
#include <string>
#include <thread>

bool TMidiSupport::StartTimer(std::function<void()> tick) {
    return StartTimer([every = std::move(tick)](uint32_t) {
        every();
        return 0u;
    });
}

bool TMidiSupport::StartTimer(TPeriodicTimer::TTick tick) {
    CapsResult = 0;
    Period = std::min(std::max(1u, PeriodMin), PeriodMax);
    if (TicksByHand) {
        handTimerRunning_ = true;
        ++TimerId;
        return true;
    }
    if (!timer_.Start(Period, std::move(tick)))
        return false;
    ++TimerId;
    return Period != 0;
}

void TMidiSupport::StopTimer() {
    timer_.Stop();
    handTimerRunning_ = false;
}

TMidiOut::TMidiOut() {
    CapsSize = CapsRecordSize;
}

TMidiOut::TMidiOut(TMidiPort& port, TMidiSupport& support, TMidiDebugLog* debugger)
    : port_(&port), support_(&support), debugger_(debugger) {
    CapsSize = CapsRecordSize;
    NumDevs = DeviceCount();
}

TMidiOut::~TMidiOut() {
    delete TakeHandle();
}

int32_t TMidiOut::DeviceCount() {
    return port_ ? port_->DeviceCount() : 0;
}

void TMidiOut::LockDevice() noexcept {
    while (!TryLockDevice())
        std::this_thread::yield();
}

bool TMidiOut::TryLockDevice() noexcept {
    return !deviceLocked_.exchange(true, std::memory_order_acquire);
}

// The sends made under one lock are one moment's: the device passes them on together.
void TMidiOut::UnlockDevice() noexcept {
    if (TMidiDevice* device = Handle.load(std::memory_order_relaxed))
        device->Flush();
    deviceLocked_.store(false, std::memory_order_release);
}

int32_t TMidiOut::SendLocked(uint32_t message) noexcept {
    TMidiDevice* device = Handle.load(std::memory_order_relaxed);
    return device ? device->ShortMsg(message) : MidiResult::InvalidHandle;
}

int32_t TMidiOut::SendLocked(uint32_t message, int64_t dueMonotonicNs) noexcept {
    TMidiDevice* device = Handle.load(std::memory_order_relaxed);
    return device ? device->ShortMsgAt(message, dueMonotonicNs) : MidiResult::InvalidHandle;
}

TOutsideTransport* TMidiOut::Transport() const {
    TMidiDevice* device = Handle.load(std::memory_order_relaxed);
    return device ? device->Transport() : nullptr;
}

bool TMidiOut::DeviceGone() const {
    TMidiDevice* device = Handle.load(std::memory_order_relaxed);
    return device && device->Gone();
}

TOutputTiming TMidiOut::OutputTiming() noexcept {
    LockDevice();
    TMidiDevice* device = Handle.load(std::memory_order_relaxed);
    const TOutputTiming timing = device ? device->Timing() : TOutputTiming{};
    UnlockDevice();
    return timing;
}

void TMidiOut::HoldPeriods(uint32_t periods) noexcept {
    LockDevice();
    holdPeriods_ = periods;
    if (TMidiDevice* device = Handle.load(std::memory_order_relaxed))
        device->HoldPeriods(periods);
    UnlockDevice();
}

int32_t TMidiOut::OutShortMsg(uint32_t message) noexcept {
    LockDevice();
    const int32_t result = SendLocked(message);
    UnlockDevice();
    return result;
}

// Once Handle is cleared under the lock, no send can reach the device that was taken.
TMidiDevice* TMidiOut::TakeHandle() {
    LockDevice();
    TMidiDevice* device = Handle.exchange(nullptr, std::memory_order_relaxed);
    UnlockDevice();
    return device;
}

bool TMidiOut::SendShort(uint32_t message) {
    const int32_t result = OutShortMsg(message);
    LastResult = result;
    Report("midiOutShortMsg: ", result);
    return result == MidiResult::Ok;
}

bool TMidiOut::Open() {
    delete TakeHandle(); // never leak a device that is still open
    std::unique_ptr<TMidiDevice> device;
    int32_t result = port_ ? port_->Open(DeviceId, device) : MidiResult::NoDriver;
    if (result == MidiResult::Ok && !device)
        result = MidiResult::Unspecified;
    if (result == MidiResult::Ok) {
        device->HoldPeriods(holdPeriods_);
        LockDevice();
        Handle.store(device.release(), std::memory_order_relaxed);
        UnlockDevice();
    }
    LastResult = result;
    OpenFailure = result != MidiResult::Ok && port_ ? port_->OpenFailure() : TUserMessage{};
    Report("midiOutOpen: Device #" + std::to_string(DeviceId), result,
           OpenFailure.Empty() ? std::string() : Wording(OpenFailure));
    SetDeviceOpen(result == MidiResult::Ok);
    return result == MidiResult::Ok;
}

bool TMidiOut::Close() {
    std::unique_ptr<TMidiDevice> device(TakeHandle());
    const int32_t result = device ? device->Close() : MidiResult::InvalidHandle;
    LastResult = result;
    Report("Close: Device #" + std::to_string(DeviceId), result);
    SetDeviceOpen(false);
    return result == MidiResult::Ok;
}

void TMidiOut::AllNotesOff() {
    for (int32_t value = 0; value <= 127; ++value) {
        const uint32_t message = Voice.NoteOff(value, 0);
        const uint32_t key = message >> 8;
        if (key <= 127) // transposed keys outside the MIDI range are no valid note-offs
            OutShortMsg(message);
    }
}

bool TMidiOut::Reset() {
    AllNotesOff();
    LockDevice();
    TMidiDevice* device = Handle.load(std::memory_order_relaxed);
    const int32_t result = device ? device->Reset() : MidiResult::InvalidHandle;
    UnlockDevice();
    LastResult = result;
    Report("MidiOutReset: ", result);
    return result == MidiResult::Ok;
}

void TMidiOut::CloseDevice() {
    Reset();
    Close();
    SetDeviceOpen(false);
}

std::string_view TMidiOut::SetPatch(int32_t program) {
    for (uint8_t& slot : Voice.Programs)
        slot = static_cast<uint8_t>(program - TMidiVoice::NoteBaseValue);
    if (IsDeviceOpen())
        for (uint8_t slot : Voice.Programs)
            SendShort(Voice.BuildMessage(slot, 0xC0 + Voice.OutChannel, 0));
    return ProgramName(program);
}

void TMidiOut::SelectBank(int32_t bank) {
    const uint32_t status = 0xB0 + Voice.OutChannel;
    SendShort(status + 0x00 * 256u + static_cast<uint32_t>(bank) * 65536u);
    SendShort(status + 0x20 * 256u);
}

void TMidiOut::Report(std::string_view prefix, int32_t code, std::string_view detail) {
    if (debugger_)
        LogMidiResult(*debugger_, prefix, code, detail);
}

void TMidiOut::SetDeviceOpen(bool open) {
    if (support_)
        support_->DeviceOpen = open;
}

bool TMidiOut::IsDeviceOpen() const {
    return support_ && support_->DeviceOpen;
}
