// SPDX-License-Identifier: GPL-3.0-or-later
// Several emulated programmers: listing them, choosing one, and batches on all of
// them (the production batches are the line test's).
#include "cli/CliRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>

namespace qbr {
namespace {

using nlohmann::json;
using test::CliResult;
using test::ReadFileText;
using test::RunCli;
using test::TempDir;
using test::WriteFileText;

const std::string kImage = std::string(0x8000, '\x5A') + std::string(0x8000, '\xA5');

class CliBatch : public ::testing::Test {
protected:
    void SetUp() override { WriteFileText(Path("image.bin"), kImage); }
    // Four emulated EN25T80, whose chips live in chip1.img ... chip4.img.
    CliResult Run(const std::string& arguments) {
        return RunCli("--lang en -q -c EN25T80 --emulate-count 4 --emulate-image " + Path("chip%d.img") + " " +
                      arguments);
    }
    std::string Path(const std::string& name) const { return dir.file(name).string(); }
    std::string Chip(int index) const { return ReadFileText(Path("chip" + std::to_string(index) + ".img")); }

    TempDir dir;
};

TEST_F(CliBatch, ListsAndChoosesProgrammers) {
    const json list = json::parse(Run("--json --emulate-fault 3:unplugged programmers").out)["programmers"];
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[1]["id"], "emulated-2");
    EXPECT_EQ(list[1]["serial"], "EMU0000002");
    EXPECT_EQ(list[1]["access"], "allowed");
    EXPECT_EQ(list[2]["access"], "no-answer");

    ASSERT_EQ(Run("--programmer EMU0000003 write " + Path("image.bin")).exitCode, 0);
    EXPECT_EQ(Chip(3).substr(0, kImage.size()), kImage);
    EXPECT_FALSE(std::filesystem::exists(Path("chip1.img")));  // no other programmer was used

    const CliResult unknown = Run("--programmer 1-1.9 link");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("Attached: emulated-1, emulated-2, emulated-3, emulated-4."), std::string::npos);

    // Usage errors before any programmer is used: four reads can't share a file, nor
    // four writes standard input; a fault for programmer 5 of 4.
    for (const std::string& usage : {"--all read " + Path("one.bin"), "--all write - <" + Path("image.bin"),
                                     std::string("--emulate-fault 5:no-reply --all link")}) {
        EXPECT_EQ(Run(usage).exitCode, 2) << usage;
    }
    EXPECT_EQ(RunCli("--emulate-count 2 --emulate-image " + Path("one.img") + " --all link").exitCode, 2);
    // Runs that stop before their report still have their object.
    const CliResult noChip = RunCli("--json --emulate-count 4 --all -c NOPE link");
    EXPECT_EQ(json::parse(noChip.out)["results"].size(), 4u) << noChip.out;
    ASSERT_EQ(Run("--all read " + Path("read-%s.bin")).exitCode, 0);
    EXPECT_EQ(ReadFileText(Path("read-emulated-3.bin")), Chip(3));
    EXPECT_EQ(ReadFileText(Path("read-emulated-4.bin")), std::string(1 << 20, '\xFF'));
    // Backups made in the same second by four programmers are four files.
    std::filesystem::create_directory(Path("backups"));
    ASSERT_EQ(Run("--all erase --backup-dir " + Path("backups")).exitCode, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("backups")), {}), 4);
}

}  // namespace
}  // namespace qbr
