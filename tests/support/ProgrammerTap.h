// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/EmulatedProgrammer.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

namespace qbr::test {

// The emulated programmer behind a tap that keeps every block the host writes, can
// show a test each block before the programmer sees it (to change the programmer's
// behaviour at an exact point of an exchange), and can change the blocks the host
// reads. The hook and the filter run on the link's worker threads.
class ProgrammerTap final : public UsbDeviceLibrary {
public:
    using WriteHook = std::function<void(std::span<const uint8_t> block)>;
    using ReadFilter = std::function<void(uint8_t* buffer, uint32_t received)>;

    explicit ProgrammerTap(const ChipRecord& chip) : programmer(chip) {}

    int CountDevices(uint32_t& count) override { return programmer.CountDevices(count); }
    int GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) override {
        return programmer.GetDeviceIds(index, vendorId, productId);
    }
    int OpenDevice(uint16_t index, Handle& handle) override { return programmer.OpenDevice(index, handle); }
    void CloseDevice(Handle handle) override { programmer.CloseDevice(handle); }
    int Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override {
        const int result = programmer.Read(handle, buffer, count, received, timeoutMs);
        ReadFilter filter;
        {
            const std::lock_guard lock(mutex_);
            filter = readFilter_;
        }
        if (result == 0 && filter) filter(buffer, received);
        return result;
    }
    int Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) override {
        WriteHook hook;
        {
            const std::lock_guard lock(mutex_);
            writes_.emplace_back(buffer, buffer + count);
            hook = beforeWrite_;
        }
        if (hook) hook({buffer, count});
        return programmer.Write(handle, buffer, count, written, timeoutMs);
    }
    void CancelTransfers(Handle handle) override { programmer.CancelTransfers(handle); }

    void SetWriteHook(WriteHook hook) {
        const std::lock_guard lock(mutex_);
        beforeWrite_ = std::move(hook);
    }
    void SetReadFilter(ReadFilter filter) {
        const std::lock_guard lock(mutex_);
        readFilter_ = std::move(filter);
    }
    std::vector<std::vector<uint8_t>> Writes() const {
        const std::lock_guard lock(mutex_);
        return writes_;
    }

    EmulatedProgrammer programmer;

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<uint8_t>> writes_;
    WriteHook beforeWrite_;
    ReadFilter readFilter_;
};

}  // namespace qbr::test
