// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatorSession.h"
#include "link/DirectPath.h"
#include "link/LibraryPath.h"
#include "link/backends/LibusbDeviceLibrary.h"
#include "link/backends/UsbfsEnumerator.h"
#include "support/CliProcess.h"
#include "umockdev/MockUsbBus.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace qbr::test {
namespace {

using namespace std::chrono_literals;

// Without the preload the testbed is invisible and the real /sys and /dev would be used.
struct MockEnvironment : ::testing::Environment {
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
            GTEST_SKIP() << "run this program through umockdev-wrapper";
        }
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new MockEnvironment);

// The emulated programmer on the mocked bus, reached through one of the real access
// paths. The link goes first, the bus last, so every handle is closed before the node goes.
struct MockedBusDevice : ContractDevice {
    MockedBusDevice(const ChipRecord& chip, bool direct) : programmer(chip), bus(programmer) {
        programmer.SetEraseTime(50ms);
        if (!direct && !(library = LibusbDeviceLibrary::Create())) throw std::runtime_error("libusb did not start");
        link.emplace(
            direct ? std::unique_ptr<AccessPath>(std::make_unique<DirectPath>(std::make_unique<UsbfsEnumerator>()))
                   : std::make_unique<LibraryPath>(*library));
    }
    UsbLink& Link() override { return *link; }
    EmulatedProgrammer& Programmer() override { return programmer; }
    void Replug() override {
        programmer.Replug();
        bus.Plug();
    }
    EmulatedProgrammer programmer;
    MockUsbBus bus;
    std::unique_ptr<UsbDeviceLibrary> library;
    std::optional<UsbLink> link;
};

ContractTarget Target(const char* name, bool direct) {
    return {name, [direct](const ChipRecord& chip) { return std::make_unique<MockedBusDevice>(chip, direct); }};
}

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, ProtocolContract,
                         ::testing::Values(Target("Libusb", false), Target("Usbfs", true)),
                         [](const ::testing::TestParamInfo<ContractTarget>& info) { return info.param.name; });

// `qbr5150-cli doctor` as its own process: it inherits the testbed, so it sees the
// mocked sysfs and device node, and its transfers reach the emulator through the bus.
using nlohmann::json;

// What every run reports, as far as it doesn't depend on the access path.
const json kCommon = json::parse(R"({
    "bus": {"status": "ok", "programmers": [{"bus_port": "1-1", "device_node": "/dev/bus/usb/001/002"}]},
    "access_path": {"status": "ok"}, "permission": {"status": "ok"}, "driver": {"status": "ok"},
    "endpoints": {"status": "ok", "endpoints": [{"address": 1, "type": "Bulk", "max_packet_size": 64},
                                                {"address": 129, "type": "Bulk", "max_packet_size": 64}]}})");

// Each setup, run on both access paths, and the steps it reports besides the common ones.
const std::pair<const char*, const char*> kCases[] = {
    {"Healthy", R"({"programmer": {"status": "ok", "self_test": {"text": "Auto test result: Hardware is OK!"},
                    "serial_number": {"ok": true}}})"},
    {"NodeWithoutRule",
     R"({"permission": {"status": "problem", "access": "denied"}, "programmer": {"status": "problem"}})"},
    {"HeldByAnotherProgram",
     R"({"driver": {"status": "problem", "driver": "usbfs"}, "programmer": {"status": "problem"}})"},
};

class Doctor : public ::testing::TestWithParam<std::tuple<size_t, bool>> {};

TEST_P(Doctor, ReportsEachStep) {
    const std::string_view name = kCases[std::get<0>(GetParam())].first;
    const bool healthy = name == "Healthy";
    const bool direct = std::get<1>(GetParam());
    EmulatedProgrammer programmer(kTestFlash);
    MockUsbBus bus(programmer);
    std::string launcher = direct ? "env QBR5150_USB=direct " : "";
    if (name == "NodeWithoutRule") {
        bus.RestrictNode(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        // As nobody, to whom the node's mode 0600 applies (root's access ignores it).
        launcher += "setpriv --reuid=65534 --regid=65534 --clear-groups";
    }
    if (name == "HeldByAnotherProgram") bus.HoldInterface();

    const CliResult run = RunCliProcess("--lang en --json doctor", launcher);
    ASSERT_EQ(run.exitCode, healthy ? 0 : 1) << run.err;
    const json report = json::parse(run.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << run.out << run.err;
    EXPECT_EQ(report["ok"], healthy);
    json steps;
    for (const auto& step : report["steps"]) steps[step["step"].get<std::string>()] = step;
    json expected = kCommon;
    expected.merge_patch(json::parse(kCases[std::get<0>(GetParam())].second));
    expected["access_path"]["path"] = direct ? "direct" : "library";
    const json actual = steps.flatten(), fields = expected.flatten();
    for (const auto& [field, value] : fields.items()) {
        EXPECT_EQ(actual.value(field, json()), value) << field << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, Doctor, ::testing::Combine(::testing::Range<size_t>(0, 3), ::testing::Bool()),
                         [](const auto& info) {
                             return kCases[std::get<0>(info.param)].first +
                                    std::string(std::get<1>(info.param) ? "OnTheDirectPath" : "");
                         });

// Two programmers on the bus: the list shows both, --programmer reaches the one it
// names (by port, or by the serial number the programmer reports, which sysfs
// doesn't show), and --all reaches both.
class TwoProgrammers : public ::testing::TestWithParam<bool> {};

TEST_P(TwoProgrammers, AreListedAndChosen) {
    EmulatedProgrammer first(kTestFlash), second(kTestFlash);
    first.SetSerialNumber("FIRST0001");
    second.SetSerialNumber("SECOND002");
    MockUsbBus bus(first);
    MockUsbBus beside(second, &bus);
    const std::string launcher = GetParam() ? "env QBR5150_USB=direct" : "";

    const CliResult listed = RunCliProcess("--json programmers", launcher);
    const json list = json::parse(listed.out)["programmers"];
    json seen;
    for (const json& entry : list) seen.push_back({entry["id"], entry["serial"], entry["access"], entry["firmware"]});
    EXPECT_EQ(seen, json::parse(R"([["1-1", "FIRST0001", "allowed", "QBR5150 emulated programmer 1.00"],
                                    ["1-2", "SECOND002", "allowed", "QBR5150 emulated programmer 1.00"]])"))
        << listed.out << listed.err;

    for (const char* choice : {"1-2", "SECOND002"}) {
        const CliResult run = RunCliProcess(std::string("--lang en --programmer ") + choice + " serial", launcher);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("SECOND002"), std::string::npos) << choice << run.out;
    }
    const CliResult all = RunCliProcess("--lang en --all serial", launcher);
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_NE(all.out.find("[1-1] Serial number:FIRST0001"), std::string::npos) << all.out;
    EXPECT_NE(all.out.find("[1-2] Serial number:SECOND002"), std::string::npos) << all.out;
}

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, TwoProgrammers, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "OnTheDirectPath" : "OnTheLibraryPath"; });

}  // namespace
}  // namespace qbr::test
