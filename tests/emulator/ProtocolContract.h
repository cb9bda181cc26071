// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/ProgrammerProtocol.h"
#include "link/UsbLink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace qbr::test {

// The emulated programmer the protocol contract runs against and the link, not
// opened yet, that reaches it (in process, or over a bus); Replug plugs it in again.
class ContractDevice {
public:
    virtual ~ContractDevice() = default;
    virtual UsbLink& Link() = 0;
    virtual EmulatedProgrammer& Programmer() = 0;
    virtual void Replug() = 0;
};

// One way of providing the device: a name for the test names, and a factory that
// puts `chip` into the socket of a fresh programmer.
struct ContractTarget {
    std::string name;
    std::function<std::unique_ptr<ContractDevice>(const ChipRecord& chip)> make;
};

inline void PrintTo(const ContractTarget& target, std::ostream* out) {
    *out << target.name;
}

// The contract between the command layer and a programmer: each instantiation of
// this suite (INSTANTIATE_TEST_SUITE_P with ContractTarget values) runs the same
// tests over its own kind of device.
class ProtocolContract : public ::testing::TestWithParam<ContractTarget> {
protected:
    void SetUp() override;

    // Polls the running operation the way the chip operations do, with 5 ms
    // pauses, until it ends; `elapsed` gets the time that took.
    PollResult RunToEnd(std::chrono::milliseconds* elapsed = nullptr);

    ChipRecord chip;
    std::unique_ptr<ContractDevice> device;
    ProgrammerProtocol protocol;
};

}  // namespace qbr::test
