// SPDX-License-Identifier: GPL-3.0-or-later
// `qbr5150-cli doctor` run as its own process against the emulated programmer
// on the mocked bus: the tool inherits the testbed, so it sees the mocked sysfs
// and device node, and its transfers reach the emulator through the bus.
#include "cli/CliRunner.h"
#include "emulator/EmulatorSession.h"
#include "umockdev/MockUsbBus.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <tuple>

namespace qbr::test {
namespace {

enum class Setup { Healthy, NodeWithoutRule, HeldByAnotherProgram };

// Each setup on both access paths; the steps not named are "ok".
const struct {
    const char* name;
    Setup setup;
    std::map<std::string, std::string> statuses;
} kCases[] = {
    {"Healthy", Setup::Healthy, {}},
    {"NodeWithoutRule", Setup::NodeWithoutRule, {{"permission", "problem"}, {"programmer", "problem"}}},
    {"HeldByAnotherProgram", Setup::HeldByAnotherProgram, {{"driver", "problem"}, {"programmer", "problem"}}},
};

class Doctor : public ::testing::TestWithParam<std::tuple<size_t, bool>> {};

TEST_P(Doctor, ReportsEachStep) {
    const auto& c = kCases[std::get<0>(GetParam())];
    const bool direct = std::get<1>(GetParam());
    EmulatedProgrammer programmer(TestFlash());
    MockUsbBus bus(programmer);
    std::string launcher = direct ? "env QBR5150_USB=direct " : "";
    if (c.setup == Setup::NodeWithoutRule) {
        bus.OpenTestbedToAll();
        bus.SetNodeMode(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        // As nobody, to whom the node's mode 0600 applies (root's access ignores it).
        launcher += "setpriv --reuid=65534 --regid=65534 --clear-groups";
    }
    if (c.setup == Setup::HeldByAnotherProgram) bus.HoldInterface();
    const int exitCode = c.setup == Setup::Healthy ? 0 : 1;

    const CliResult run = RunCli("--lang en --json doctor", launcher);
    ASSERT_EQ(run.exitCode, exitCode) << run.err;
    const auto report = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << run.out << run.err;
    EXPECT_EQ(report["ok"], exitCode == 0);
    std::map<std::string, nlohmann::json> steps;
    for (const auto& step : report["steps"]) steps[step["step"]] = step;
    for (const char* key : {"bus", "access_path", "permission", "driver", "endpoints", "programmer"}) {
        const auto expected = c.statuses.find(key);
        EXPECT_EQ(steps[key]["status"], expected == c.statuses.end() ? "ok" : expected->second) << key << run.err;
    }

    EXPECT_EQ(steps["bus"]["programmers"][0]["bus_port"], "1-1");
    EXPECT_EQ(steps["bus"]["programmers"][0]["device_node"], "/dev/bus/usb/001/002");
    EXPECT_EQ(steps["access_path"]["path"], direct ? "direct" : "library") << run.err;
    EXPECT_EQ(steps["endpoints"]["endpoints"],
              nlohmann::json::parse(R"([{"address":1,"type":"Bulk","max_packet_size":64},
                                        {"address":129,"type":"Bulk","max_packet_size":64}])"));
    if (exitCode == 0) {
        EXPECT_EQ(steps["programmer"]["self_test"]["text"], "Auto test result: Hardware is OK!");
        EXPECT_TRUE(steps["programmer"]["serial_number"]["ok"]);
    }
    if (c.setup == Setup::NodeWithoutRule) {
        EXPECT_EQ(steps["permission"]["access"], "denied");
        EXPECT_NE(steps["permission"]["command"].get<std::string>().find("60-qbr5150.rules"), std::string::npos);
    }
    if (c.setup == Setup::HeldByAnotherProgram) {
        EXPECT_EQ(steps["driver"]["driver"], "usbfs");
    }
    EXPECT_EQ(bus.UnknownRequests(), 0u) << "the program asked the bus for something it must not";
}

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, Doctor, ::testing::Combine(::testing::Range<size_t>(0, 3), ::testing::Bool()),
                         [](const auto& info) {
                             return kCases[std::get<0>(info.param)].name +
                                    std::string(std::get<1>(info.param) ? "OnTheDirectPath" : "");
                         });

}  // namespace
}  // namespace qbr::test
