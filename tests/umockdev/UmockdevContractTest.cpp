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

// When libusb can't start, a library that finds nothing makes the contract fail at its first Open.
std::unique_ptr<UsbDeviceLibrary> StartLibusb() {
    std::unique_ptr<UsbDeviceLibrary> library = LibusbDeviceLibrary::Create();
    if (library) return library;
    ADD_FAILURE() << "libusb did not start on the mocked bus";
    auto none = std::make_unique<FakeDeviceLibrary>();
    none->countResult = 1;
    return none;
}

// The emulated programmer on the mocked bus, reached through one of the real
// access paths. Members are destroyed link first, bus last, so every handle is
// closed before the device node goes away.
class MockedBusDevice : public ContractDevice {
public:
    enum class Path { Libusb, Usbfs };

    MockedBusDevice(const ChipRecord& chip, Path path) : programmer_(chip), bus_(programmer_) {
        programmer_.SetEraseTime(50ms);
        if (path == Path::Libusb) {
            library_ = StartLibusb();
            link_ = std::make_unique<UsbLink>(std::make_unique<LibraryPath>(*library_));
        } else {
            enumerator_ = std::make_unique<UsbfsEnumerator>();
            link_ = std::make_unique<UsbLink>(std::make_unique<DirectPath>(*enumerator_));
        }
    }
    ~MockedBusDevice() override {
        link_.reset();
        library_.reset();
        enumerator_.reset();
        EXPECT_EQ(bus_.UnknownRequests(), 0u);
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
    std::unique_ptr<UsbfsEnumerator> enumerator_;
    std::unique_ptr<UsbLink> link_;
};

ContractTarget Target(const char* name, MockedBusDevice::Path path) {
    return ContractTarget{name,
                          [path](const ChipRecord& chip) { return std::make_unique<MockedBusDevice>(chip, path); }};
}

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, ProtocolContract,
                         ::testing::Values(Target("Libusb", MockedBusDevice::Path::Libusb),
                                           Target("Usbfs", MockedBusDevice::Path::Usbfs)),
                         [](const ::testing::TestParamInfo<ContractTarget>& info) { return info.param.name; });

}  // namespace
}  // namespace qbr::test
