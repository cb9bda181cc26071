// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatorSession.h"
#include "emulator/ProtocolContract.h"
#include "link/DirectPath.h"
#include "link/LibraryPath.h"
#include "link/backends/LibusbDeviceLibrary.h"
#include "link/backends/UsbfsEnumerator.h"
#include "umockdev/MockUsbBus.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

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

// Stands in when libusb can't start, so that the contract fails at its first Open.
class NoLibrary : public UsbDeviceLibrary {
public:
    int CountDevices(uint32_t&) override { return 1; }
    int GetDeviceId(uint16_t, char (&)[kIdTextSize], int) override { return 1; }
    int OpenDevice(uint16_t, Handle&) override { return 1; }
    void CloseDevice(Handle) override {}
    int Read(Handle, uint8_t*, uint32_t, uint32_t&, uint32_t) override { return 1; }
    int Write(Handle, const uint8_t*, uint32_t, uint32_t&, uint32_t) override { return 1; }
    void CancelTransfers(Handle) override {}
};

std::unique_ptr<UsbDeviceLibrary> StartLibusb() {
    std::unique_ptr<UsbDeviceLibrary> library = LibusbDeviceLibrary::Create();
    if (!library) {
        ADD_FAILURE() << "libusb did not start on the mocked bus";
        library = std::make_unique<NoLibrary>();
    }
    return library;
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

class MockedUsbBusPath : public ::testing::TestWithParam<MockedBusDevice::Path> {};

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, MockedUsbBusPath,
                         ::testing::Values(MockedBusDevice::Path::Libusb, MockedBusDevice::Path::Usbfs),
                         [](const ::testing::TestParamInfo<MockedBusDevice::Path>& info) {
                             return info.param == MockedBusDevice::Path::Libusb ? "Libusb" : "Usbfs";
                         });

// The read and the write pipe share the device: a read waiting on one worker
// must let a write on the other end, and each gets its own transfer's result.
// A read abandoned while it waits is discarded at once, long before its own
// time-out, and the device stays usable for the next request.
TEST_P(MockedUsbBusPath, ReadsWhileWritingAndAnAbortedReadEndsAtOnce) {
    MockedBusDevice device(TestFlash(), GetParam());
    UsbLink& link = device.Link();
    ASSERT_TRUE(link.Open());
    std::vector<uint8_t> buffer(64);
    std::atomic<uint32_t> received{0};
    std::atomic<uint32_t> written{0};
    bool ok = false;
    const std::array<uint8_t, 2> serialRequest{0x18, 0x00};
    ASSERT_TRUE(link.StartRead(buffer.data(), 64, received, 2000));
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(link.PollRead(ok)) << "nothing was asked for, so nothing arrives";
    ASSERT_TRUE(link.Write(serialRequest.data(), 2, written, 1000));
    while (!link.PollRead(ok)) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(ok);
    EXPECT_EQ(received.load(), 22u);

    ASSERT_TRUE(link.StartRead(buffer.data(), 64, received, 2000));
    std::this_thread::sleep_for(50ms);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    link.AbortRead();
    const auto latency = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    RecordProperty("CancelMicroseconds", static_cast<int>(latency.count()));
    EXPECT_LE(latency, 50ms);

    ProgrammerProtocol protocol;
    protocol.AttachLink(link);
    protocol.SetChipParameters(TestFlash());
    std::array<uint8_t, 2> id{};
    ASSERT_TRUE(protocol.ReadChipId(id));
    EXPECT_EQ(id, (std::array<uint8_t, 2>{0xEF, 0x14}));
}

// The direct path finds the programmer's interface and its two pipes in sysfs.
TEST(MockedUsbBusUsbfs, ListsTheInterfaceWithTheDeviceIds) {
    MockedBusDevice device(TestFlash(), MockedBusDevice::Path::Usbfs);
    UsbfsEnumerator enumerator;
    EXPECT_EQ(enumerator.ListInterfaces(DirectPath::kInterfaceClass),
              std::vector<std::string>{"usb#vid_10c4&pid_f5a0#1-1:1.0"});
}

}  // namespace
}  // namespace qbr::test
