// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "emulator/ChipAccess.h"
#include "emulator/EmulatedProgrammer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace qbr::test {

using Bytes = std::vector<uint8_t>;

inline ChipRecord TestFlash() {
    return ChipRecord{0, "TESTFLASH", "TEST", 0, 33, 64 * 1024, 1, 256, 0xEF, 0x14, 0, 8};
}

inline ChipRecord TestEeprom24() {
    return ChipRecord{1, "24C02", "TEST", 0, 50, 256, 1, 8, 0xFF, 0xFF, 0, 8};
}

// The host's side of a conversation with the emulated programmer, in raw bytes
// straight through its device library interface.
class EmulatorSession {
public:
    explicit EmulatorSession(const ChipRecord& chip = TestFlash()) : device(chip) { handle = Open(); }

    UsbDeviceLibrary::Handle Open(uint16_t index = 0) {
        UsbDeviceLibrary::Handle opened = UsbDeviceLibrary::kInvalidHandle;
        EXPECT_EQ(device.OpenDevice(index, opened), 0);
        return opened;
    }

    int Send(const Bytes& bytes, uint32_t* written = nullptr) {
        uint32_t count = 0;
        const int result = device.Write(handle, bytes.data(), static_cast<uint32_t>(bytes.size()), count, 1000);
        if (written != nullptr) *written = count;
        return result;
    }

    // One read of at most `count` bytes; empty when it failed.
    Bytes Receive(uint32_t count, uint32_t timeoutMs = 1000) {
        Bytes buffer(count);
        uint32_t received = 0;
        lastResult = device.Read(handle, buffer.data(), count, received, timeoutMs);
        buffer.resize(lastResult == 0 ? received : 0);
        return buffer;
    }

    // A whole data phase of `total` bytes, read in 4 KiB chunks as the host does.
    Bytes ReceiveAll(uint32_t total) {
        Bytes data;
        for (Bytes part; data.size() < total; data.insert(data.end(), part.begin(), part.end())) {
            part = Receive(std::min<uint32_t>(4096, total - static_cast<uint32_t>(data.size())));
            if (part.empty()) break;
        }
        return data;
    }

    Bytes Exchange(const Bytes& request, uint32_t replyCapacity) {
        EXPECT_EQ(Send(request), 0);
        return Receive(replyCapacity);
    }

    EmulatedProgrammer device;
    UsbDeviceLibrary::Handle handle = UsbDeviceLibrary::kInvalidHandle;
    int lastResult = 0;
};

// The chip parameters of a read or write request from `address` on, as `chip` needs them.
inline RequestedAccess AccessFor(const ChipRecord& chip, uint32_t address = 0) {
    RequestedAccess access = ChipAccess::Needed(chip);
    access.address = address;
    return access;
}

// A read request, or with the page size after the count a write request.
inline Bytes ChipRequest(const RequestedAccess& access, uint32_t count, bool write = false) {
    Bytes request = {uint8_t(write ? 0x12 : 0x11), uint8_t(write ? 0x0C : 0x0A), access.protocolCode};
    for (uint32_t value : {access.address, count}) {
        for (int shift = 24; shift >= 0; shift -= 8) request.push_back(static_cast<uint8_t>(value >> shift));
    }
    if (write) request.insert(request.end(), {uint8_t(access.pageSize >> 8), uint8_t(access.pageSize)});
    request.insert(request.end(), {access.modeByte, access.orgByte, access.highVoltage, access.reserved});
    return request;
}

}  // namespace qbr::test
