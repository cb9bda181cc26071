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

    // Reads a whole data phase of `total` bytes in chunks as the host does.
    Bytes ReceiveAll(uint32_t total, uint32_t chunk = 4096) {
        Bytes data;
        while (data.size() < total) {
            Bytes part = Receive(std::min<uint32_t>(chunk, total - static_cast<uint32_t>(data.size())));
            if (part.empty()) break;
            data.insert(data.end(), part.begin(), part.end());
        }
        return data;
    }

    Bytes Exchange(const Bytes& request, uint32_t replyCapacity) {
        EXPECT_EQ(Send(request), 0);
        return Receive(replyCapacity);
    }

    // Whether the programmer has nothing to send within a short wait.
    bool Silent() { return Receive(1024, 30).empty() && lastResult == EmulatedProgrammer::kTimedOut; }

    EmulatedProgrammer device;
    UsbDeviceLibrary::Handle handle = UsbDeviceLibrary::kInvalidHandle;
    int lastResult = 0;
};

inline void PutBigEndian(Bytes& bytes, uint32_t value, int size) {
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

// The chip parameters of a read or write request from `address` on, as `chip` needs them.
inline RequestedAccess AccessFor(const ChipRecord& chip, uint32_t address = 0) {
    RequestedAccess access = ChipAccess::Needed(chip);
    access.address = address;
    return access;
}

inline Bytes ReadRequest(const RequestedAccess& access, uint32_t count) {
    Bytes request = {0x11, 0x0A, access.protocolCode};
    PutBigEndian(request, access.address, 4);
    PutBigEndian(request, count, 4);
    request.insert(request.end(), {access.modeByte, access.orgByte, access.highVoltage, access.reserved});
    return request;
}

inline Bytes WriteRequest(const RequestedAccess& access, uint32_t count) {
    Bytes request = ReadRequest(access, count);
    request[0] = 0x12;
    request[1] = 0x0C;
    const Bytes page = {static_cast<uint8_t>(access.pageSize >> 8), static_cast<uint8_t>(access.pageSize)};
    request.insert(request.begin() + 11, page.begin(), page.end());
    return request;
}

// Requests for the test flash chip.
inline Bytes ReadRequest(uint32_t address, uint32_t count) {
    return ReadRequest(AccessFor(TestFlash(), address), count);
}
inline Bytes WriteRequest(uint32_t address, uint32_t count) {
    return WriteRequest(AccessFor(TestFlash(), address), count);
}

}  // namespace qbr::test
