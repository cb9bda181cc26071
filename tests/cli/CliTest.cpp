// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using qbr::test::CliResult;
using qbr::test::RunCli;

size_t LineCount(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

TEST(CliChips, ListsMatchesWithTheirCountInEitherLanguage) {
    CliResult run = RunCli("--lang en chips 'en25*80'");
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("EN25", 0), 0u);
    EXPECT_NE(run.out.find("\nEN25T80   1024KB  EON  SPI FLASH\n"), std::string::npos);
    EXPECT_NE(run.out.find("\nFind " + std::to_string(LineCount(run.out) - 1) + " Chips!\n"), std::string::npos);

    CliResult all = RunCli("--lang zh chips '*'");
    ASSERT_EQ(all.exitCode, 0);
    EXPECT_NE(all.out.find("\n共找到 " + std::to_string(LineCount(all.out) - 1) + " 个结果!\n"), std::string::npos);
    EXPECT_EQ(RunCli("--lang zh chips").out, all.out);

    CliResult none = RunCli("--lang en chips 'NO*SUCH'");
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "Find 0 Chips!\n");
}

TEST(CliChip, ShowsOneRecordOrFails) {
    CliResult run = RunCli("--lang en chip en25t80");
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("makerName: EON\nspareByte: 0\nvoltage: 33\ncapacity: 1048576\n"), std::string::npos);
    EXPECT_NE(run.out.find("manufacturerId: 1C\ndeviceId: 14\n"), std::string::npos);
    EXPECT_NE(run.out.find("1MB"), std::string::npos);
    EXPECT_EQ(RunCli("--lang en chip NOSUCHCHIP").exitCode, 2);
}

TEST(CliUsage, BadOptionsAndAMissingDatabase) {
    EXPECT_EQ(RunCli("--bogus chips").exitCode, 2);
    EXPECT_EQ(RunCli("--lang fr chips").exitCode, 2);
    EXPECT_EQ(RunCli("chip").exitCode, 2);
    EXPECT_EQ(RunCli("--lang en --db /nonexistent/chips.dat chips").exitCode, 4);
    EXPECT_EQ(RunCli("frobnicate").exitCode, 2);
    EXPECT_EQ(RunCli("--emulate -c NOSUCHCHIP read x.bin").exitCode, 2);
    EXPECT_EQ(RunCli("--emulate --emulate-fault bogus link").exitCode, 2);
}

// The tool's own texts follow the language too; texts made for boxes print with plain line ends.
TEST(CliUsage, TextsInEitherLanguageWithPlainLineEnds) {
    EXPECT_NE(RunCli("--lang zh chip NOSUCHCHIP").err.find("芯片数据库中没有名为 \"NOSUCHCHIP\""), std::string::npos);
    EXPECT_NE(RunCli("--lang zh -c 24C02 --emulate erase").err.find("24C02 不是 SPI Flash"), std::string::npos);
    const CliResult detect = RunCli("--lang zh --emulate=W25Q64FV detect");
    EXPECT_NE(detect.err.find("   \n("), std::string::npos) << detect.err;
    EXPECT_EQ(detect.err.find('\r'), std::string::npos);
}

}  // namespace
