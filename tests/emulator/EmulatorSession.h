// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "emulator/ChipAccess.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/ProgrammerProtocol.h"
#include "link/UsbLink.h"
#include "support/TestChip.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qbr::test {

using Bytes = std::vector<uint8_t>;

inline const ChipRecord kTestFlash = TestChip("TESTFLASH").Id(0xEF, 0x14);
inline const ChipRecord kTestEeprom24 = TestChip("24C02").Type(kEeprom24).Volts(50).Capacity(256).Pages(1, 8);

// The host's side of a raw conversation with the emulated programmer.
struct EmulatorSession {
    explicit EmulatorSession(const ChipRecord& chip) : device(chip) { EXPECT_EQ(device.OpenDevice(0, handle), 0); }

    int Send(const Bytes& bytes) {
        uint32_t written = 0;
        return device.Write(handle, bytes.data(), static_cast<uint32_t>(bytes.size()), written, 1000);
    }
    // A request (none: a read alone), then one read of at most `replyCapacity` bytes; empty when it failed.
    Bytes Exchange(const Bytes& request, uint32_t replyCapacity) {
        EXPECT_TRUE(request.empty() || Send(request) == 0);
        Bytes reply(replyCapacity);
        uint32_t received = 0;
        reply.resize(device.Read(handle, reply.data(), replyCapacity, received, 1000) == 0 ? received : 0);
        return reply;
    }

    EmulatedProgrammer device;
    UsbDeviceLibrary::Handle handle = UsbDeviceLibrary::kInvalidHandle;
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

// The emulated programmer the protocol contract runs against, and the link, not
// opened yet, that reaches it (in process, or over a bus); Replug plugs it in again.
class ContractDevice {
public:
    virtual ~ContractDevice() = default;
    virtual UsbLink& Link() = 0;
    virtual EmulatedProgrammer& Programmer() = 0;
    virtual void Replug() = 0;
};

// A name for the test names, and a factory of a fresh programmer with `chip` in its socket.
struct ContractTarget {
    std::string name;
    std::function<std::unique_ptr<ContractDevice>(const ChipRecord& chip)> make;
};

// The contract between the command layer and a programmer, run over each kind of device.
class ProtocolContract : public ::testing::TestWithParam<ContractTarget> {
protected:
    void SetUp() override;

    // Polls the running operation with 5 ms pauses until it ends.
    PollResult RunToEnd();

    ChipRecord chip;
    std::unique_ptr<ContractDevice> device;
    ProgrammerProtocol protocol;
};

}  // namespace qbr::test
