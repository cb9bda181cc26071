// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/EmulatorFault.h"
#include "emulator/ProgrammerFirmware.h"
#include "emulator/SpeedModel.h"
#include "emulator/WireClock.h"
#include "link/UsbDeviceLibrary.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qbr {

// The programmer, emulated behind the same device library interface that
// reaches real hardware, with a virtual chip in its socket. It is seen as one
// device with vendor ID 10c4 and product ID f5a0 while plugged in.
//
// A read worker, a write worker and the UI thread may call it at the same time.
// Transfers behave as bulk transfers do on Linux (usbfs, and libusb on top of it)
// with a full-speed device: data moves in packets of at most kMaxPacketSize bytes;
// a read ends when its buffer is full or a short packet arrived, and a packet
// longer than the room left fails the read as an overflow (that packet is lost).
// A read blocks until the programmer sends; a write blocks while the programmer
// NAKs. A time-out of 0 means no time-out. A transfer that fails reports in
// `received`/`written` the bytes that moved before. Unplugging ends every open
// handle for good: its transfers fail at once, and after replugging the device
// must be opened again.
//
// Result codes: 0 success, otherwise one of the k... codes below.
class EmulatedProgrammer final : public UsbDeviceLibrary {
public:
    static constexpr int kNoDevice = 1;  // unknown or closed handle, or the device is gone
    static constexpr int kTimedOut = 2;
    static constexpr int kCancelled = 3;
    static constexpr int kFailed = 4;    // a write refused by a fault, or a bad argument
    static constexpr int kOverflow = 5;  // a packet did not fit into the rest of the read's buffer

    static constexpr uint32_t kMaxPacketSize = ProgrammerFirmware::kMaxPacketSize;

    explicit EmulatedProgrammer(const ChipRecord& chip);

    int CountDevices(uint32_t& count) override;
    int GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) override;
    int OpenDevice(uint16_t index, Handle& handle) override;
    void CloseDevice(Handle handle) override;
    int Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override;
    int Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) override;
    void CancelTransfers(Handle handle) override;

    // The chip in the socket, itself: to be used only while no transfer runs.
    VirtualChip& Chip() { return firmware_.Chip(); }
    void SetSpeed(const SpeedModel& model);
    // How long an SPI flash erase keeps the status busy (200 ms unless set).
    void SetEraseTime(std::chrono::milliseconds time);
    void SetFirmwareVersion(std::string text);
    void SetSerialNumber(std::string text);
    // What the programmer does after the host gives a transfer up (KeepPending unless set).
    void SetAfterAbandon(AfterAbandon behaviour);

    void InjectFault(const EmulatorFault& fault);
    // Ends every fault except an unplugged state, which only Replug ends.
    void ClearFaults();
    void Unplug();
    // Plugs the programmer in again, as a new connection; when it is plugged in
    // already, it is unplugged first.
    void Replug();
    bool IsPlugged() const;

    // The image of the last accepted firmware update, as far as it has arrived.
    std::vector<uint8_t> ReceivedFirmware() const;
    // The wire time the speed model has charged since construction or the last reset.
    std::chrono::nanoseconds WireTime() const;
    void ResetWireTime();

private:
    using Clock = std::chrono::steady_clock;
    using Lock = std::unique_lock<std::mutex>;
    using Deadline = std::optional<Clock::time_point>;

    struct OpenHandle {
        uint64_t connection = 0;
        uint64_t cancels = 0;
    };
    // What a transfer saw when it began, to tell whether it has been cut off since.
    struct Transfer {
        Handle handle = kInvalidHandle;
        uint64_t connection = 0;
        uint64_t cancels = 0;
    };

    std::optional<Transfer> BeginTransfer(Handle handle) const;
    int Interruption(const Transfer& transfer) const;
    template <typename Ready>
    int WaitFor(Lock& lock, const Transfer& transfer, Deadline deadline, Ready ready);
    int Pace(Lock& lock, const Transfer& transfer, uint32_t bytes);
    int Finish(ProgrammerFirmware::Stop stop);
    void Disconnect();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    ProgrammerFirmware firmware_;
    WireClock wire_;
    std::map<Handle, OpenHandle> handles_;
    Handle nextHandle_ = 1;
    bool plugged_ = true;
    uint64_t connection_ = 0;
    std::optional<std::chrono::milliseconds> writeFailTime_;
    Deadline writeFailEnd_;
};

}  // namespace qbr
