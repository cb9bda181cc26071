// SPDX-License-Identifier: GPL-3.0-or-later
// `qbr5150-cli doctor` run as its own process against the emulated programmer
// on the mocked bus: the tool inherits the testbed, so it sees the mocked sysfs
// and device node, and its transfers reach the emulator through the bus.
#include "cli/CliRunner.h"
#include "emulator/EmulatorSession.h"
#include "umockdev/MockUsbBus.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <tuple>

namespace qbr::test {
namespace {

using nlohmann::json;

// What every run reports, as far as it doesn't depend on the access path.
const json kCommon = json::parse(R"({
    "bus": {"status": "ok", "programmers": [{"bus_port": "1-1", "device_node": "/dev/bus/usb/001/002"}]},
    "access_path": {"status": "ok"}, "permission": {"status": "ok"}, "driver": {"status": "ok"},
    "endpoints": {"status": "ok", "endpoints": [{"address": 1, "type": "Bulk", "max_packet_size": 64},
                                                {"address": 129, "type": "Bulk", "max_packet_size": 64}]}})");

// Each setup on both access paths, with the steps it reports besides the common ones.
const struct {
    const char* name;
    const char* steps;
} kCases[] = {
    {"Healthy", R"({"programmer": {"status": "ok", "self_test": {"text": "Auto test result: Hardware is OK!"},
                    "serial_number": {"ok": true}}})"},
    {"NodeWithoutRule",
     R"({"permission": {"status": "problem", "access": "denied"}, "programmer": {"status": "problem"}})"},
    {"HeldByAnotherProgram",
     R"({"driver": {"status": "problem", "driver": "usbfs"}, "programmer": {"status": "problem"}})"},
};

class Doctor : public ::testing::TestWithParam<std::tuple<size_t, bool>> {};

TEST_P(Doctor, ReportsEachStep) {
    const std::string_view name = kCases[std::get<0>(GetParam())].name;
    const bool healthy = name == "Healthy";
    const bool direct = std::get<1>(GetParam());
    EmulatedProgrammer programmer(TestFlash());
    MockUsbBus bus(programmer);
    std::string launcher = direct ? "env QBR5150_USB=direct " : "";
    if (name == "NodeWithoutRule") {
        bus.RestrictNode(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        // As nobody, to whom the node's mode 0600 applies (root's access ignores it).
        launcher += "setpriv --reuid=65534 --regid=65534 --clear-groups";
    }
    if (name == "HeldByAnotherProgram") bus.HoldInterface();

    const CliResult run = RunCli("--lang en --json doctor", launcher);
    ASSERT_EQ(run.exitCode, healthy ? 0 : 1) << run.err;
    const json report = json::parse(run.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << run.out << run.err;
    EXPECT_EQ(report["ok"], healthy);
    json steps;
    for (const auto& step : report["steps"]) steps[step["step"].get<std::string>()] = step;
    json expected = kCommon;
    expected.merge_patch(json::parse(kCases[std::get<0>(GetParam())].steps));
    expected["access_path"]["path"] = direct ? "direct" : "library";
    const json actual = steps.flatten(), fields = expected.flatten();
    for (const auto& [field, value] : fields.items()) {
        EXPECT_EQ(actual.value(field, json()), value) << field << run.err;
    }
    if (name == "NodeWithoutRule") {
        EXPECT_NE(steps["permission"]["command"].get<std::string>().find("60-qbr5150.rules"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, Doctor, ::testing::Combine(::testing::Range<size_t>(0, 3), ::testing::Bool()),
                         [](const auto& info) {
                             return kCases[std::get<0>(info.param)].name +
                                    std::string(std::get<1>(info.param) ? "OnTheDirectPath" : "");
                         });

}  // namespace
}  // namespace qbr::test
