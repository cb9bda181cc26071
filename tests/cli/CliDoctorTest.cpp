// SPDX-License-Identifier: GPL-3.0-or-later
// `qbr5150-cli doctor` on the emulated programmer and without any programmer.
// (The checks of a programmer on a bus run under umockdev.)
#include "cli/CliRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qbr {
namespace {

using test::CliResult;
using test::RunCli;

struct DoctorRun {
    const char* arguments;
    int exitCode;
    const char* summary;
    // Step statuses in order: bus, access path, permission, driver, endpoints, programmer.
    std::vector<std::string> statuses;
};

const DoctorRun kRuns[] = {
    {"--emulate", 0, "All is well.", {"ok", "ok", "skipped", "skipped", "ok", "ok"}},
    {"--emulate --emulate-fault selftest-fail",
     1,
     "Problems found: 1.",
     {"ok", "ok", "skipped", "skipped", "ok", "problem"}},
    {"--emulate --emulate-fault unplugged",
     3,
     "No programmer found.",
     {"ok", "ok", "skipped", "skipped", "ok", "problem"}},
    // This machine has no programmer on its bus (if any bus at all).
    {"", 3, "No programmer found.", {"problem", "ok", "skipped", "skipped", "skipped", "problem"}},
};

TEST(CliDoctor, ExitCodesAndStepsInJson) {
    for (const DoctorRun& run : kRuns) {
        SCOPED_TRACE(run.arguments);
        const CliResult result = RunCli(std::string("--lang en --json ") + run.arguments + " doctor");
        EXPECT_EQ(result.exitCode, run.exitCode) << result.err;
        const auto report = nlohmann::json::parse(result.out, nullptr, false);
        ASSERT_FALSE(report.is_discarded()) << result.out;
        EXPECT_EQ(report["ok"], run.exitCode == 0);
        EXPECT_EQ(report["summary"], run.summary);
        std::vector<std::string> statuses;
        for (const auto& step : report["steps"]) statuses.push_back(step["status"]);
        EXPECT_EQ(statuses, run.statuses);
        // The human report goes to the error stream beside the JSON object.
        EXPECT_NE(result.err.find("6. Programmer  ["), std::string::npos);
    }
}

// The human report in either language, on the emulated programmer.
TEST(CliDoctor, ReportInBothLanguages) {
    const CliResult english = RunCli("--lang en --emulate doctor");
    EXPECT_NE(english.out.find("5. Endpoints  [ok]\n   0x01  Bulk OUT  64 bytes\n   0x81  Bulk IN  64 bytes\n"),
              std::string::npos)
        << english.out;
    EXPECT_NE(english.out.find("\n   Auto test result: Hardware is OK!\nAll is well.\n"), std::string::npos);
    const CliResult chinese = RunCli("--lang zh --emulate doctor");
    EXPECT_NE(chinese.out.find("1. 总线上的编程器  [正常]\n   由模拟编程器代替"), std::string::npos) << chinese.out;
    EXPECT_NE(chinese.out.find("测试结果: 编程器一切正常!\n一切正常。\n"), std::string::npos);
}

}  // namespace
}  // namespace qbr
