#pragma once

#include "chipdb/ChipRecord.h"
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

inline Bytes ReadRequest(uint8_t protocolCode, uint32_t address, uint32_t count) {
    return {0x11, 0x0A, protocolCode, static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
            static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), static_cast<uint8_t>(count >> 24),
            static_cast<uint8_t>(count >> 16), static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count),
            3, 0, 0, 0};
}

inline Bytes WriteRequest(uint8_t protocolCode, uint32_t address, uint32_t count) {
    Bytes request = ReadRequest(protocolCode, address, count);
    request[0] = 0x12;
    request[1] = 0x0C;
    request.insert(request.begin() + 11, {0x01, 0x00});
    return request;
}

}  // namespace qbr::test
