// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatorSession.h"
#include "emulator/ProtocolContract.h"
#include "link/DirectPath.h"
#include "link/FakeDeviceLibrary.h"
#include "link/LibraryPath.h"
#include "link/backends/LibusbDeviceLibrary.h"
#include "link/backends/UsbfsEnumerator.h"
#include "umockdev/MockUsbBus.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace qbr::test {
namespace {

using namespace std::chrono_literals;

// Without the preload the testbed is invisible and the real /sys and /dev would
// be used; the whole program is skipped then.
class MockEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
            GTEST_SKIP() << "run this program through umockdev-wrapper";
        }
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new MockEnvironment);

// The emulated programmer on the mocked bus, reached through one of the real access
// paths. Members go link first, bus last, so every handle is closed before the
// device node goes away.
class MockedBusDevice : public ContractDevice {
public:
    MockedBusDevice(const ChipRecord& chip, bool direct) : programmer_(chip), bus_(programmer_) {
        programmer_.SetEraseTime(50ms);
        if (direct) {
            link_ = std::make_unique<UsbLink>(std::make_unique<DirectPath>(enumerator_));
            return;
        }
        library_ = LibusbDeviceLibrary::Create();
        if (!library_) {  // a library that finds nothing makes the contract fail at its first Open
            ADD_FAILURE() << "libusb did not start on the mocked bus";
            library_ = std::make_unique<FakeDeviceLibrary>();
            static_cast<FakeDeviceLibrary&>(*library_).devices.clear();
        }
        link_ = std::make_unique<UsbLink>(std::make_unique<LibraryPath>(*library_));
    }

    UsbLink& Link() override { return *link_; }
    EmulatedProgrammer& Programmer() override { return programmer_; }
    void Replug() override {
        programmer_.Replug();
        bus_.Plug();
    }

private:
    EmulatedProgrammer programmer_;
    MockUsbBus bus_;
    std::unique_ptr<UsbDeviceLibrary> library_;
    UsbfsEnumerator enumerator_;
    std::unique_ptr<UsbLink> link_;
};

ContractTarget Target(const char* name, bool direct) {
    return {name, [direct](const ChipRecord& chip) { return std::make_unique<MockedBusDevice>(chip, direct); }};
}

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, ProtocolContract,
                         ::testing::Values(Target("Libusb", false), Target("Usbfs", true)),
                         [](const ::testing::TestParamInfo<ContractTarget>& info) { return info.param.name; });

}  // namespace
}  // namespace qbr::test
