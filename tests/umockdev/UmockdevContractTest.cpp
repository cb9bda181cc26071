#include "emulator/EmulatorSession.h"
#include "emulator/ProtocolContract.h"
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

    MockedBusDevice(const ChipRecord& chip, Path path, LinkTimings timings = {})
        : programmer_(chip), bus_(programmer_) {
        programmer_.SetEraseTime(50ms);
        if (path == Path::Libusb) {
            library_ = StartLibusb();
            link_ = std::make_unique<UsbLink>(*library_, timings);
        } else {
            enumerator_ = std::make_unique<UsbfsEnumerator>();
            link_ = std::make_unique<UsbLink>(*enumerator_, timings);
        }
    }
    ~MockedBusDevice() override {
        link_.reset();
        library_.reset();
        enumerator_.reset();
        EXPECT_EQ(bus_.UnknownRequests(), 0u);
    }

    UsbLink& Link() override { return *link_; }
    void UnplugAfter(uint32_t bytes) override { programmer_.InjectFault({FaultKind::UnplugAfter, bytes}); }
    void Replug() override {
        programmer_.Replug();
        bus_.Plug();
    }
    std::vector<uint8_t> ReceivedFirmware() override { return programmer_.ReceivedFirmware(); }

    EmulatedProgrammer& Programmer() { return programmer_; }

private:
    EmulatedProgrammer programmer_;
    MockUsbBus bus_;
    std::unique_ptr<UsbDeviceLibrary> library_;
    std::unique_ptr<UsbfsEnumerator> enumerator_;
    std::unique_ptr<UsbLink> link_;
};

ContractTarget Target(const char* name, MockedBusDevice::Path path) {
    return ContractTarget{name, [path](const ChipRecord& chip) { return std::make_unique<MockedBusDevice>(chip, path); }};
}

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, ProtocolContract,
                         ::testing::Values(Target("Libusb", MockedBusDevice::Path::Libusb),
                                           Target("Usbfs", MockedBusDevice::Path::Usbfs)),
                         [](const ::testing::TestParamInfo<ContractTarget>& info) { return info.param.name; });

// Abandoning a read that waits for a silent programmer goes through libusb's
// cancellation (the URB is discarded and reaped); the read must end at once and
// the device must stay usable for the next request. The pipe time-out is made
// long, so that a read left to run into it is told apart from a cancelled one.
TEST(MockedUsbBusLibusb, AbortedReadEndsPromptlyAndTheLinkStaysUsable) {
    LinkTimings timings;
    timings.libraryPipeTimeoutMs = 10000;
    MockedBusDevice device(TestFlash(), MockedBusDevice::Path::Libusb, timings);
    UsbLink& link = device.Link();
    ASSERT_TRUE(link.Open());
    std::vector<uint8_t> buffer(4096);
    std::atomic<uint32_t> counter{0};
    ASSERT_TRUE(link.StartRead(buffer.data(), 4096, counter, 10000));
    std::this_thread::sleep_for(50ms);
    bool ok = true;
    EXPECT_FALSE(link.PollRead(ok)) << "nothing was asked for, so nothing arrives";
    const auto start = std::chrono::steady_clock::now();
    link.AbortRead();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

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
    EXPECT_EQ(enumerator.ListInterfaces(UsbLink::kInterfaceClass),
              std::vector<std::string>{"usb#vid_10c4&pid_f5a0#1-1:1.0"});
}

}  // namespace
}  // namespace qbr::test
