// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/DeviceEnumerator.h"
#include "link/DirectPath.h"
#include "link/FakeDeviceLibrary.h"
#include "link/LibraryPath.h"
#include "link/UsbLink.h"

#include <gtest/gtest.h>

#include <set>

namespace qbr {
namespace {

// A fixed list of interfaces; opening records the name (and the pipe) and fails
// for those in `failing`, and with refused access for those in `denied`. Its
// pipes move no data.
struct FakeEnumerator : DeviceEnumerator {
    std::vector<Interface> interfaces;
    std::vector<std::string> opened;
    std::set<std::string> failing, denied;

    std::vector<Interface> ListInterfaces() override { return interfaces; }
    std::shared_ptr<PipeHandle> Open(const std::string& name, Pipe pipe, bool& accessDenied) override {
        const std::string what = name + (pipe == Pipe::None ? "" : pipe == Pipe::In ? " in" : " out");
        opened.push_back(what);
        accessDenied = denied.contains(what);
        return failing.contains(what) || accessDenied ? nullptr : std::make_shared<IdlePipe>();
    }
    struct IdlePipe : PipeHandle {
        bool Read(uint8_t*, uint32_t, uint32_t& received, uint32_t) override {
            received = 0;
            return true;
        }
        bool Write(const uint8_t*, uint32_t n, uint32_t& written, uint32_t) override {
            written = n;
            return true;
        }
        void Cancel() override {}
    };
};

using test::FakeDeviceLibrary;
using Problem = UsbLink::OpenProblem;

// The programmer is found by its IDs, opened once and let go when it is gone; a
// failed open says why: a refused access or not found.
TEST(LibraryPathOpen, FindsTheProgrammerAndSaysWhyItFailed) {
    FakeDeviceLibrary library;
    library.devices = {{0x10C4, 0xF5A1}, {0x1234, 0xF5A0}, {0x10C4, 0xF5A0}};
    UsbLink link(std::make_unique<LibraryPath>(library));
    EXPECT_TRUE(link.Open());
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(library.openCalls, 1);
    library.devices.clear();
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::NotFound);
    EXPECT_EQ(library.closed, std::vector<UsbDeviceLibrary::Handle>{102});
    library.devices = {{0x10C4, 0xF5A0}};
    library.openResult = UsbDeviceLibrary::kAccessDenied;
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::AccessDenied);
    library.openResult = 1;
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::NotFound);
    library.openResult = 0;
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::None);
}

// The first interface of the programmer's IDs is opened; a refused pipe is no
// refused device: the open succeeds after its alert, and only that pipe fails.
TEST(DirectPathOpen, OpensTheProgrammersInterfaceAndSaysWhyItFailed) {
    auto owned = std::make_unique<FakeEnumerator>();
    FakeEnumerator& enumerator = *owned;
    UsbLink link(std::make_unique<DirectPath>(std::move(owned)));
    std::vector<std::string> alerts;
    link.SetAlertHandler([&](const std::string& text) { alerts.push_back(text); });
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::NotFound);
    const std::string device = "1-2:1.0";
    enumerator.interfaces = {{"1-1:1.0", 0x10C4, 0xEA60}, {device, 0x10C4, 0xF5A0}};  // another product first
    enumerator.denied = {device};
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::AccessDenied);
    enumerator.denied = {device + " in"};
    enumerator.failing = {device};
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::NotFound);
    enumerator.failing.clear();
    enumerator.opened.clear();
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(link.LastOpenProblem(), Problem::None);
    EXPECT_EQ(enumerator.opened, (std::vector<std::string>{device, device + " out", device + " in"}));
    EXPECT_EQ(alerts, std::vector<std::string>{"Error opening Read device: PIPE00\n\nApplication is aborting.\n"
                                               "Reset hardware and try again."});
    std::atomic<uint32_t> counter{0};
    uint8_t byte = 0;
    EXPECT_FALSE(link.StartRead(&byte, 1, counter, 100));
    EXPECT_TRUE(link.Write(&byte, 1, counter, 100));
}

}  // namespace
}  // namespace qbr
