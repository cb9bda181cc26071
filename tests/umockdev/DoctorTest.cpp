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

namespace qbr::test {
namespace {

enum class Setup { Healthy, NodeWithoutRule, HeldByAnotherProgram };

struct DoctorCase {
    const char* name;
    Setup setup;
    const char* launcher;  // how the tool is started
    int exitCode;
    // The status of each step; "ok" where not named.
    std::map<std::string, std::string> statuses;
};

// Runs as nobody, to whom the node's mode 0600 applies (root's access ignores it).
constexpr const char* kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups";
constexpr const char* kAsNobodyOnTheDirectPath =
    "env QBR5150_USB=direct setpriv --reuid=65534 --regid=65534 --clear-groups";

const DoctorCase kCases[] = {
    {"HealthyOnTheLibraryPath", Setup::Healthy, "", 0, {}},
    {"HealthyOnTheDirectPath", Setup::Healthy, "env QBR5150_USB=direct", 0, {}},
    {"NodeWithoutRule", Setup::NodeWithoutRule, kAsNobody, 1, {{"permission", "problem"}, {"programmer", "problem"}}},
    {"NodeWithoutRuleOnTheDirectPath",
     Setup::NodeWithoutRule,
     kAsNobodyOnTheDirectPath,
     1,
     {{"permission", "problem"}, {"programmer", "problem"}}},
    {"HeldByAnotherProgram", Setup::HeldByAnotherProgram, "", 1, {{"driver", "problem"}, {"programmer", "problem"}}},
    {"HeldByAnotherProgramOnTheDirectPath",
     Setup::HeldByAnotherProgram,
     "env QBR5150_USB=direct",
     1,
     {{"driver", "problem"}, {"programmer", "problem"}}},
};

void PrintTo(const DoctorCase& c, std::ostream* out) {
    *out << c.name;
}

class Doctor : public ::testing::TestWithParam<DoctorCase> {};

TEST_P(Doctor, ReportsEachStep) {
    const DoctorCase& c = GetParam();
    EmulatedProgrammer programmer(TestFlash());
    MockUsbBus bus(programmer);
    if (c.setup == Setup::NodeWithoutRule) {
        bus.OpenTestbedToAll();
        bus.SetNodeMode(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    if (c.setup == Setup::HeldByAnotherProgram) bus.HoldInterface();

    const CliResult run = RunCli("--lang en --json doctor", c.launcher);
    ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
    const auto report = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << run.out << run.err;
    EXPECT_EQ(report["ok"], c.exitCode == 0);
    std::map<std::string, nlohmann::json> steps;
    for (const auto& step : report["steps"]) steps[step["step"]] = step;
    for (const char* key : {"bus", "access_path", "permission", "driver", "endpoints", "programmer"}) {
        const auto expected = c.statuses.find(key);
        EXPECT_EQ(steps[key]["status"], expected == c.statuses.end() ? "ok" : expected->second) << key << run.err;
    }

    EXPECT_EQ(steps["bus"]["programmers"][0]["bus_port"], "1-1");
    EXPECT_EQ(steps["bus"]["programmers"][0]["device_node"], "/dev/bus/usb/001/002");
    const bool direct = std::string(c.launcher).find("direct") != std::string::npos;
    EXPECT_EQ(steps["access_path"]["path"], direct ? "direct" : "library") << run.err;
    EXPECT_EQ(steps["endpoints"]["endpoints"],
              nlohmann::json::parse(R"([{"address":1,"type":"Bulk","max_packet_size":64},
                                        {"address":129,"type":"Bulk","max_packet_size":64}])"));
    if (c.exitCode == 0) {
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

INSTANTIATE_TEST_SUITE_P(MockedUsbBus, Doctor, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DoctorCase>& info) { return info.param.name; });

}  // namespace
}  // namespace qbr::test
