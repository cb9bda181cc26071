// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer commands of the command-line tool, end to end on the emulated
// programmer with a chip image that persists between runs.
#include "cli/CliRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <random>
#include <string>

namespace qbr {
namespace {

using test::CliResult;
using test::ReadFileText;
using test::RunCli;
using test::TempDir;
using test::WriteFileText;

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

class CliProgrammer : public ::testing::Test {
protected:
    // The emulated programmer with `chip` in its socket, whose contents live in chip.img.
    CliResult Run(const std::string& chip, const std::string& arguments) {
        return RunCli("--lang en -q -c " + chip + " --emulate --emulate-image " + Path("chip.img") + " " + arguments);
    }
    std::string Path(const std::string& name) const { return dir.file(name).string(); }

    TempDir dir;
};

TEST_F(CliProgrammer, WrittenImagesReadBackEqual) {
    const std::string image = RandomBytes(1 << 20, 1);
    WriteFileText(Path("image.bin"), image);
    const CliResult write = Run("EN25T80", "write " + Path("image.bin"));
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_NE(write.err.find("Write chip ok!   Elapsed time: "), std::string::npos);
    ASSERT_EQ(Run("EN25T80", "read " + Path("out.bin")).exitCode, 0);
    EXPECT_EQ(ReadFileText(Path("out.bin")), image);

    // Intel HEX input, made by objcopy, into a 24-series EEPROM.
    const std::string small = RandomBytes(256, 2);
    WriteFileText(Path("small.bin"), small);
    ASSERT_EQ(std::system(("objcopy -I binary -O ihex " + Path("small.bin") + " " + Path("small.hex")).c_str()), 0);
    ASSERT_EQ(Run("24C02", "write " + Path("small.hex")).exitCode, 0);
    const CliResult read = Run("24C02", "read -");
    ASSERT_EQ(read.exitCode, 0);
    EXPECT_EQ(read.out, small);
}

TEST_F(CliProgrammer, VerifyMismatchIsReportedExactly) {
    std::string image(256, '\x11');
    WriteFileText(Path("image.bin"), image);
    ASSERT_EQ(Run("24C02", "write " + Path("image.bin")).exitCode, 0);
    image[0x10] = '\x22';
    image[0x20] = '\x33';
    WriteFileText(Path("other.bin"), image);

    const CliResult verify = Run("24C02", "verify " + Path("other.bin"));
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_NE(verify.err.find("Verify chip error!\n\nAddr:0x000010   \n Buf:0x22   \nChip:0x11   \n"),
              std::string::npos)
        << verify.err;

    const CliResult json = Run("24C02", "--json verify " + Path("other.bin"));
    const auto report = nlohmann::json::parse(json.out);
    EXPECT_EQ(report["ok"], false);
    EXPECT_EQ(report["mismatch"], (nlohmann::json{{"address", 0x10}, {"buffer", 0x22}, {"chip", 0x11}}));
    EXPECT_EQ(report["differing_bytes"], 2);
}

// The exit code follows the command's outcome, never the texts it showed: each
// case gives the same code in both languages, whose texts all differ.
TEST_F(CliProgrammer, ExitCodesFollowTheOutcomeInEitherLanguage) {
    const std::pair<std::string, int> cases[] = {
        {"-c EN25T80 --emulate-fault unplugged read " + Path("out.bin"), 3},
        {"-c EN25T80 --emulate-fault short@4096 read " + Path("out.bin"), 1},  // no copy of the chip
        {"-c EN25T80 write " + Path("missing.bin"), 4},
        {"-c 24C02 erase", 1},
        {"-c EN25T80 --emulate-fault selftest-fail selftest", 1},
        {"-c EN25T80 selftest", 0},
    };
    for (const std::string language : {"en", "zh"}) {
        for (const auto& [arguments, code] : cases) {
            SCOPED_TRACE(language + ": " + arguments);
            const CliResult result = RunCli("--lang " + language + " -q --emulate --emulate-image " + Path("chip.img") +
                                            " " + arguments);
            EXPECT_EQ(result.exitCode, code) << result.err;
            EXPECT_FALSE(std::filesystem::exists(Path("out.bin")));  // no image left behind
        }
    }
    EXPECT_EQ(Run("EN25T80", "selftest").out, "Auto test result: Hardware is OK!\n");
}

TEST_F(CliProgrammer, DetectListsEveryCandidateAndSpeaksChinese) {
    const CliResult detect = Run("W25Q64FV", "--json detect");
    ASSERT_EQ(detect.exitCode, 0) << detect.err;
    const auto report = nlohmann::json::parse(detect.out.substr(detect.out.rfind('{')));
    ASSERT_GT(report["candidates"].size(), 1u);
    EXPECT_EQ(detect.out.rfind(report["candidates"][0].get<std::string>(), 0), 0u);
    EXPECT_NE(detect.out.find("also: " + report["candidates"][1].get<std::string>()), std::string::npos);

    const CliResult chinese = RunCli("--lang zh -q -c EN25T80 --emulate read " + Path("zh.bin"));
    EXPECT_EQ(chinese.exitCode, 0);
    EXPECT_NE(chinese.err.find("读芯片成功!"), std::string::npos);
}

}  // namespace
}  // namespace qbr
