// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatedProgrammer.h"
#include "emulator/ProtocolContract.h"
#include "link/LibraryPath.h"

namespace qbr::test {
namespace {

using namespace std::chrono_literals;

class EmulatedContractDevice : public ContractDevice {
public:
    explicit EmulatedContractDevice(const ChipRecord& chip)
        : programmer_(chip), link_(std::make_unique<LibraryPath>(programmer_)) {
        programmer_.SetEraseTime(50ms);
    }
    UsbLink& Link() override { return link_; }
    EmulatedProgrammer& Programmer() override { return programmer_; }
    void Replug() override { programmer_.Replug(); }

private:
    EmulatedProgrammer programmer_;
    UsbLink link_;
};

INSTANTIATE_TEST_SUITE_P(Emulator, ProtocolContract,
                         ::testing::Values(ContractTarget{"EmulatedProgrammer",
                                                          [](const ChipRecord& chip) {
                                                              return std::make_unique<EmulatedContractDevice>(chip);
                                                          }}),
                         [](const ::testing::TestParamInfo<ContractTarget>& info) { return info.param.name; });

}  // namespace
}  // namespace qbr::test
