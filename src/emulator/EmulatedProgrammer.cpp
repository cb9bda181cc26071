// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatedProgrammer.h"

#include "link/AccessPath.h"

namespace qbr {

EmulatedProgrammer::EmulatedProgrammer(const ChipRecord& chip) : firmware_(chip) {}

int EmulatedProgrammer::CountDevices(uint32_t& count) {
    Lock lock(mutex_);
    count = plugged_ ? 1 : 0;
    return 0;
}

int EmulatedProgrammer::GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) {
    Lock lock(mutex_);
    if (index > 0 || !plugged_) return kNoDevice;
    vendorId = AccessPath::kVendorId;
    productId = AccessPath::kProductId;
    return 0;
}

int EmulatedProgrammer::OpenDevice(uint16_t index, Handle& handle) {
    Lock lock(mutex_);
    if (index > 0 || !plugged_) return kNoDevice;
    handle = nextHandle_++;
    handles_[handle] = OpenHandle{connection_, 0};
    return 0;
}

void EmulatedProgrammer::CloseDevice(Handle handle) {
    Lock lock(mutex_);
    handles_.erase(handle);
    changed_.notify_all();
}

void EmulatedProgrammer::CancelTransfers(Handle handle) {
    Lock lock(mutex_);
    auto it = handles_.find(handle);
    if (it != handles_.end()) ++it->second.cancels;
    changed_.notify_all();
}

int EmulatedProgrammer::Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) {
    received = 0;
    Lock lock(mutex_);
    const Deadline deadline = timeoutMs == 0 ? Deadline() : Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::optional<Transfer> transfer = BeginTransfer(handle);
    if (!transfer) return kNoDevice;
    for (;;) {
        if (int error = WaitFor(lock, *transfer, deadline, [this] { return firmware_.CanGive(); })) return error;
        const ProgrammerFirmware::Given given = firmware_.Give({buffer + received, count - received});
        received += given.bytes;
        changed_.notify_all();
        // The packets end the read only once they are on the wire.
        if (int error = Pace(lock, *transfer, given.bytes)) return error;
        if (given.stop != ProgrammerFirmware::Stop::None) return Finish(given.stop);
        if (given.overflow) return kOverflow;
        if (given.complete) return 0;
    }
}

int EmulatedProgrammer::Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written,
                              uint32_t timeoutMs) {
    written = 0;
    Lock lock(mutex_);
    const Deadline deadline = timeoutMs == 0 ? Deadline() : Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::optional<Transfer> transfer = BeginTransfer(handle);
    if (!transfer) return kNoDevice;
    // A write-fail fault's time runs from the first write after it was set.
    if (writeFailTime_) {
        const Clock::time_point now = Clock::now();
        if (!writeFailEnd_) writeFailEnd_ = now + *writeFailTime_;
        if (now < *writeFailEnd_) return kFailed;
        writeFailTime_.reset();
        writeFailEnd_.reset();
    }
    do {
        if (int error = WaitFor(lock, *transfer, deadline, [this] { return firmware_.CanTake(); })) {
            firmware_.WriteCutOff();
            return error;
        }
        const ProgrammerFirmware::Taken taken = firmware_.Take({buffer + written, count - written});
        written += taken.bytes;
        changed_.notify_all();
        if (int error = Pace(lock, *transfer, taken.bytes)) {
            firmware_.WriteCutOff();
            return error;
        }
        if (taken.stop != ProgrammerFirmware::Stop::None) return Finish(taken.stop);
    } while (written < count);
    return 0;
}

std::optional<EmulatedProgrammer::Transfer> EmulatedProgrammer::BeginTransfer(Handle handle) const {
    auto it = handles_.find(handle);
    if (it == handles_.end() || !plugged_ || it->second.connection != connection_) return std::nullopt;
    return Transfer{handle, connection_, it->second.cancels};
}

// 0 while the transfer may go on; otherwise the reason it was cut off.
int EmulatedProgrammer::Interruption(const Transfer& transfer) const {
    auto it = handles_.find(transfer.handle);
    if (it == handles_.end() || !plugged_ || transfer.connection != connection_) return kNoDevice;
    return it->second.cancels == transfer.cancels ? 0 : kCancelled;
}

// Waits until `ready` holds. Returns 0 then, or why the wait ended early.
template <typename Ready>
int EmulatedProgrammer::WaitFor(Lock& lock, const Transfer& transfer, Deadline deadline, Ready ready) {
    auto stop = [&] { return Interruption(transfer) != 0 || ready(); };
    if (!deadline) {
        changed_.wait(lock, stop);
    } else if (!changed_.wait_until(lock, *deadline, stop)) {
        return kTimedOut;
    }
    return Interruption(transfer);
}

// Lets the transfer take the time the speed model gives it on the wire.
int EmulatedProgrammer::Pace(Lock& lock, const Transfer& transfer, uint32_t bytes) {
    if (wire_.IsUnlimited()) return 0;
    const Clock::time_point end = wire_.Book(bytes, Clock::now());
    changed_.wait_until(lock, end, [&] { return Interruption(transfer) != 0; });
    wire_.Woke(end, Clock::now());
    return Interruption(transfer);
}

// Carries out the unplug or replug the transfer met at a fault point of its data
// phase, which ends the transfer.
int EmulatedProgrammer::Finish(ProgrammerFirmware::Stop stop) {
    Disconnect();
    plugged_ = stop == ProgrammerFirmware::Stop::Replug;
    return kNoDevice;
}

// The programmer leaves the bus: open handles die and it forgets any exchange
// in progress. The chip keeps its contents.
void EmulatedProgrammer::Disconnect() {
    plugged_ = false;
    ++connection_;
    firmware_.Restart();
    changed_.notify_all();
}

void EmulatedProgrammer::SetSpeed(const SpeedModel& model) {
    Lock lock(mutex_);
    wire_.SetModel(model);
}

void EmulatedProgrammer::SetEraseTime(std::chrono::milliseconds time) {
    Lock lock(mutex_);
    firmware_.SetEraseTime(time);
}

void EmulatedProgrammer::SetFirmwareVersion(std::string text) {
    Lock lock(mutex_);
    firmware_.SetVersionText(std::move(text));
}

void EmulatedProgrammer::SetSerialNumber(std::string text) {
    Lock lock(mutex_);
    firmware_.SetSerialText(std::move(text));
}

void EmulatedProgrammer::SetAfterAbandon(AfterAbandon behaviour) {
    Lock lock(mutex_);
    firmware_.SetAfterAbandon(behaviour);
}

void EmulatedProgrammer::InjectFault(const EmulatorFault& fault) {
    Lock lock(mutex_);
    if (fault.kind == FaultKind::Unplugged) {
        Disconnect();
    } else if (fault.kind == FaultKind::WriteFail) {
        writeFailTime_ = std::chrono::milliseconds(fault.value);
        writeFailEnd_.reset();
    } else {
        firmware_.InjectFault(fault);
    }
    changed_.notify_all();
}

void EmulatedProgrammer::ClearFaults() {
    Lock lock(mutex_);
    firmware_.ClearFaults();
    writeFailTime_.reset();
    writeFailEnd_.reset();
    changed_.notify_all();
}

void EmulatedProgrammer::Unplug() {
    Lock lock(mutex_);
    Disconnect();
}

void EmulatedProgrammer::Replug() {
    Lock lock(mutex_);
    Disconnect();
    plugged_ = true;
}

bool EmulatedProgrammer::IsPlugged() const {
    Lock lock(mutex_);
    return plugged_;
}

std::vector<uint8_t> EmulatedProgrammer::ReceivedFirmware() const {
    Lock lock(mutex_);
    return firmware_.FirmwareImage();
}

std::chrono::nanoseconds EmulatedProgrammer::WireTime() const {
    Lock lock(mutex_);
    return wire_.BookedTime();
}

void EmulatedProgrammer::ResetWireTime() {
    Lock lock(mutex_);
    wire_.ResetBookedTime();
}

}  // namespace qbr
