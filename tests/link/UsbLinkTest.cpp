// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DeviceEnumerator.h"
#include "link/DeviceFinder.h"
#include "link/DirectPath.h"
#include "link/FakeDeviceLibrary.h"
#include "link/LibraryPath.h"
#include "link/UsbLink.h"
#include "link/backends/UsbfsEnumerator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>

namespace qbr {
namespace {

// A fixed list of device paths; opening records the path and fails for the paths
// in `failing`, and with refused access for those in `denied`. The pipes it gives
// move no data.
class FakeEnumerator : public DeviceEnumerator {
public:
    std::vector<std::string> paths;
    std::set<std::string> failing;
    std::set<std::string> denied;
    std::vector<std::string> opened;

    std::vector<std::string> ListInterfaces(std::string_view) override { return paths; }
    std::shared_ptr<PipeHandle> Open(const std::string& path, bool& accessDenied) override {
        opened.push_back(path);
        accessDenied = denied.contains(path);
        return failing.contains(path) || accessDenied ? nullptr : std::make_shared<IdlePipe>();
    }

private:
    struct IdlePipe : PipeHandle {
        bool Read(uint8_t*, uint32_t, uint32_t& received, uint32_t) override { return Moved(received, 0); }
        bool Write(const uint8_t*, uint32_t count, uint32_t& written, uint32_t) override {
            return Moved(written, count);
        }
        static bool Moved(uint32_t& counter, uint32_t count) {
            counter = count;
            return true;
        }
        void Cancel() override {}
    };
};

using test::FakeDeviceLibrary;
using Problem = UsbLink::OpenProblem;
using test::WriteFileText;

// A bad digit gives 0, as does a text too short for the four digits.
TEST(DeviceFinderIds, ParsedFromTheDevicePath) {
    FakeEnumerator enumerator;
    enumerator.paths = {
        "usb#VID_10C4&PID_F5A0#1-1:1.0",  // capitals
        "usb#vid_10c4&pid_f5a0#1-1:1.0",  // small letters
        "vid_10G4&pid_f5a0",              // a bad digit
        "xvid_1234vid_10c4&pid_f5a0",     // the first hit counts
        "vid_10c",                        // too short
        "pid_f5a0&vid_10c4",              // the order doesn't matter
    };
    DeviceFinder finder(enumerator);
    const std::vector<std::pair<uint16_t, uint16_t>> expected = {{0x10C4, 0xF5A0}, {0x10C4, 0xF5A0}, {0, 0xF5A0},
                                                                 {0x1234, 0xF5A0}, {0, 0},           {0x10C4, 0xF5A0}};
    ASSERT_EQ(finder.CountDevices(), 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(enumerator.paths[i]);
        EXPECT_EQ(finder.GetVid(i), expected[i].first);
        EXPECT_EQ(finder.GetPid(i), expected[i].second);
    }
    EXPECT_EQ(finder.GetVid(6), 0);  // no such interface
}

// The direct path's device list from sysfs: only interfaces with a bulk pipe pair.
TEST(UsbfsEnumerator, ListsInterfacesWithABulkPipePairAsDevicePaths) {
    test::TempDir dir;
    const auto add = [&](const std::string& device, const char* ids, const std::string& interface,
                         const std::string& address, const char* type) {
        std::filesystem::create_directories(dir.file(device));
        std::filesystem::create_directories(dir.file(interface + "/ep_" + address));
        WriteFileText(dir.file(device + "/idVendor"), std::string(ids, 4) + "\n");
        WriteFileText(dir.file(device + "/idProduct"), std::string(ids + 5) + "\n");
        WriteFileText(dir.file(device + "/busnum"), "1\n");
        WriteFileText(dir.file(device + "/devnum"), "7\n");
        WriteFileText(dir.file(interface + "/bInterfaceNumber"), "00\n");
        WriteFileText(dir.file(interface + "/ep_" + address + "/bEndpointAddress"), address + "\n");
        WriteFileText(dir.file(interface + "/ep_" + address + "/type"), std::string(type) + "\n");
    };
    add("1-2", "10c4:f5a0", "1-2:1.0", "81", "Bulk");
    add("1-2", "10c4:f5a0", "1-2:1.0", "01", "Bulk");
    add("1-1", "046d:c52b", "1-1:1.0", "81", "Interrupt");
    add("1-1", "046d:c52b", "1-1:1.1", "82", "Bulk");  // no OUT pipe
    UsbfsEnumerator enumerator{dir.path(), dir.file("dev")};
    EXPECT_EQ(enumerator.ListInterfaces("{37538c66-9584-42d3-9632-ebad0a230d13}"),
              std::vector<std::string>{"usb#vid_10c4&pid_f5a0#1-2:1.0"});
}

TEST(LibraryPathOpen, FindsTheProgrammerByItsIdTextsAndOpensItOnce) {
    FakeDeviceLibrary library;
    // The ID text is read with "%x ": capitals and a trailing blank are fine, and
    // only the low 16 bits count.
    library.devices = {{"10c4", "f5a1"}, {"1234", "f5a0"}, {"10C4 ", "1F5A0"}};
    UsbLink link(std::make_unique<LibraryPath>(library));
    EXPECT_TRUE(link.Open());
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(library.openCalls, 1);
    EXPECT_TRUE(library.closed.empty());
}

// Each failing library call, and why the open failed: a refused access or not found.
TEST(LibraryPathOpen, FailuresKeepOrDropTheHandleAndSayWhy) {
    FakeDeviceLibrary library;
    UsbLink link(std::make_unique<LibraryPath>(library));
    EXPECT_EQ(link.LastOpenProblem(), Problem::None);
    library.openResult = UsbDeviceLibrary::kAccessDenied;
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::AccessDenied);
    library.openResult = 1;
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::NotFound);
    library.openResult = 0;
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::None);
    library.idResult = 1;  // the handle stays as it is
    EXPECT_FALSE(link.Open());
    EXPECT_TRUE(library.closed.empty());
    library.idResult = 0;
    library.countResult = 1;  // a failing count lets the handle go
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(library.closed, std::vector<UsbDeviceLibrary::Handle>{100});
    library.countResult = 0;
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(library.openCalls, 4);

    library.devices.clear();  // unplugged: the pass that misses it lets the handle go
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::NotFound);
    EXPECT_EQ(library.closed.size(), 2u);
    library.devices = {{"10c4", "f5a0"}};
    EXPECT_TRUE(link.Open());
    // Unplugged and back between two passes: the first failed transfer makes the
    // next pass open the device afresh.
    std::atomic<uint32_t> counter{0};
    uint8_t byte = 0;
    library.QueueReadFailure();
    EXPECT_FALSE(link.Read(&byte, 1, counter, 1000));
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(library.openCalls, 6);
    EXPECT_EQ(library.closed.size(), 3u);
}

TEST(DirectPathOpen, RemembersWhyTheOpenFailed) {
    FakeEnumerator enumerator;
    UsbLink link(std::make_unique<DirectPath>(enumerator));
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::NotFound);
    const std::string device = "usb#vid_10c4&pid_f5a0#1-1:1.0";
    enumerator.paths = {device};
    enumerator.denied = {device};
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::AccessDenied);
    enumerator.denied.clear();
    enumerator.failing = {device};
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::NotFound);
    // A refused pipe is no refused device: the open succeeds after its alert.
    enumerator.failing.clear();
    enumerator.denied = {device + "/PIPE00"};
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::None);
}

TEST(DirectPathOpen, OpensTheSecondInterfaceWhenTheFirstIsAnotherProduct) {
    FakeEnumerator enumerator;
    enumerator.paths = {"usb#vid_10c4&pid_ea60#1-1:1.0"};
    UsbLink link(std::make_unique<DirectPath>(enumerator));
    EXPECT_FALSE(link.Open());
    enumerator.paths.push_back("usb#VID_10C4&PID_F5A0#1-2:1.0");
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(enumerator.opened,
              (std::vector<std::string>{"usb#VID_10C4&PID_F5A0#1-2:1.0", "usb#VID_10C4&PID_F5A0#1-2:1.0/PIPE01",
                                        "usb#VID_10C4&PID_F5A0#1-2:1.0/PIPE00"}));
}

TEST(DirectPathOpen, FailingReadPipeAlertsAndStillSucceeds) {
    FakeEnumerator enumerator;
    enumerator.paths = {"usb#vid_10c4&pid_f5a0#1-1:1.0"};
    enumerator.failing = {"usb#vid_10c4&pid_f5a0#1-1:1.0/PIPE00"};
    UsbLink link(std::make_unique<DirectPath>(enumerator));
    std::vector<std::string> alerts;
    link.SetAlertHandler([&](const std::string& text) { alerts.push_back(text); });
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(alerts, std::vector<std::string>{"Error opening Read device: PIPE00\n\nApplication is aborting.\n"
                                               "Reset hardware and try again."});
    std::atomic<uint32_t> counter{0};
    uint8_t byte = 0;
    EXPECT_FALSE(link.StartRead(&byte, 1, counter, 100));
    EXPECT_TRUE(link.Write(&byte, 1, counter, 100));
}

// Pipe names must fit the 256-byte path with separator and terminator.
TEST(DirectPathOpen, PipePathLimit) {
    const std::string prefix = "usb#vid_10c4&pid_f5a0#";
    for (size_t length : {248u, 249u, 256u}) {
        FakeEnumerator enumerator;
        enumerator.paths = {prefix + std::string(length - prefix.size(), 'x')};
        UsbLink link(std::make_unique<DirectPath>(enumerator));
        int alerts = 0;
        link.SetAlertHandler([&](const std::string&) { ++alerts; });
        const bool open = link.Open();
        SCOPED_TRACE(length);
        EXPECT_EQ(open, length < 256);
        EXPECT_EQ(alerts, length == 249 ? 2 : 0);
        EXPECT_EQ(enumerator.opened.size(), length == 248 ? 3u : length == 249 ? 1u : 0u);
    }
}

// The link's transfers; failed writes, stalls and aborts are in the fault matrix and
// on the mocked bus.
TEST(UsbLinkTransfer, ReadMovesFullChunksAndEndsAtAShortOne) {
    FakeDeviceLibrary library;
    UsbLink link(std::make_unique<LibraryPath>(library), test::FastTimings());
    ASSERT_TRUE(link.Open());
    std::atomic<uint32_t> counter{0};
    std::vector<uint8_t> buffer(3 * 4096);
    library.QueueRead(std::vector<uint8_t>(4096, 1));
    library.QueueRead(std::vector<uint8_t>(1, 2));
    EXPECT_TRUE(link.Read(buffer.data(), 4097, counter, 1000));
    EXPECT_EQ(counter, 4097u);
    EXPECT_EQ(buffer[4095], 1);
    EXPECT_EQ(buffer[4096], 2);

    library.QueueRead(std::vector<uint8_t>(4096, 3));
    EXPECT_TRUE(link.Read(buffer.data(), 4096, counter, 1000));

    // A short chunk ends the read successfully with what arrived.
    library.QueueRead(std::vector<uint8_t>(4096, 4));
    library.QueueRead(std::vector<uint8_t>(100, 5));
    EXPECT_TRUE(link.Read(buffer.data(), 3 * 4096, counter, 1000));
    EXPECT_EQ(counter, 4196u);
    EXPECT_EQ(library.ReadSizes(), (std::vector<uint32_t>{4096, 1, 4096, 4096, 4096}));

    // A pipe that can't be cancelled still returns by its time-out, which the link
    // keeps within the deadline; the poll reports the end only after the worker is
    // gone, so the buffer can be freed right away.
    library.QueueLateRead();
    ASSERT_TRUE(link.StartRead(buffer.data(), 16, counter, 40));
    bool ok = true;
    EXPECT_LT(test::ElapsedMs([&] {
                  while (!link.PollRead(ok)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }),
              300);
    EXPECT_FALSE(ok);
    const std::vector<uint8_t> atEnd = buffer;
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(buffer, atEnd);
}

}  // namespace
}  // namespace qbr
