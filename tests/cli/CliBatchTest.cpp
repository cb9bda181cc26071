// SPDX-License-Identifier: GPL-3.0-or-later
// Several emulated programmers: choosing one, and production batches on all of
// them while one misbehaves.
#include "cli/CliRunner.h"
#include "ops/SerialCounter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <map>
#include <sstream>
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
    CliResult Run(const std::string& arguments, const std::string& launcher = "") {
        return RunCli("--lang en -q -c EN25T80 --emulate-count 4 --emulate-image " + Path("chip%d.img") + " " +
                          arguments,
                      launcher);
    }
    std::string Path(const std::string& name) const { return dir.file(name).string(); }
    std::string Chip(int index) const { return ReadFileText(Path("chip" + std::to_string(index) + ".img")); }
    std::string Serialized(uint64_t serial) const {
        std::string image = kImage + std::string((1 << 20) - kImage.size(), '\xFF');
        std::ostringstream number;
        number << std::setw(8) << std::setfill('0') << serial;
        return image.replace(0x100, 8, number.str());
    }
    std::string Production() const {
        return "--serialize 0x100,dec,8 --serial-file " + Path("n.txt") + " --log " + Path("log.csv") + " ";
    }
    // The log's lines after the header, by programmer.
    std::map<std::string, std::string> LogLines() const {
        std::map<std::string, std::string> lines;
        std::istringstream log(ReadFileText(Path("log.csv")));
        std::string line;
        std::getline(log, line);
        while (std::getline(log, line))
            lines[line.substr(line.find(',') + 1, line.find(",EN25T80") - line.find(',') - 1)] += line;
        return lines;
    }

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

// The batch of the production station, with programmer 2 misbehaving in each way:
// the other three chips are programmed and verified with their own numbers, every
// number is used once, and each chip has its line in the log.
struct BatchFault {
    const char* fault;
    int exitCode;
};

class CliBatchFault : public CliBatch, public ::testing::WithParamInterface<BatchFault> {};

TEST_P(CliBatchFault, TheOthersFinish) {
    WriteFileText(Path("n.txt"), "256\n");
    const std::string fault = GetParam().fault;
    const CliResult run = Run("--all --json " + Production() + (fault.empty() ? "" : "--emulate-fault 2:" + fault) +
                              " auto " + Path("image.bin"));
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;

    std::vector<uint64_t> serials;
    const std::map<std::string, std::string> log = LogLines();
    const json batch = json::parse(run.out);
    for (const json& report : batch.at("results")) {
        const std::string id = report["programmer"];
        const bool good = fault.empty() || id != "emulated-2";
        EXPECT_EQ(report["ok"], good) << id;
        ASSERT_TRUE(report.contains("serial")) << id;
        const uint64_t serial = report["serial"];
        serials.push_back(serial);
        EXPECT_NE(log.at(id).find(",auto," + std::to_string(serial) + (good ? ",ok," : ",failed,")), std::string::npos)
            << log.at(id);
        if (good) {
            EXPECT_EQ(Chip(id.back() - '0'), Serialized(serial)) << id;
        }
    }
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<uint64_t>{256, 257, 258, 259}));
    EXPECT_EQ(log.size(), 4u);
    EXPECT_EQ(ReadFileText(Path("n.txt")), "260\n");
}

INSTANTIATE_TEST_SUITE_P(OnProgrammer2, CliBatchFault,
                         ::testing::Values(BatchFault{"", 0}, BatchFault{"protect@0x8000", 1},
                                           BatchFault{"unplug@4096", 1}, BatchFault{"stall@8192", 1},
                                           BatchFault{"unplugged", 3}));

// A crash left two numbers taken; another process holds the counter; the disk of
// the counter is full: no number is used twice, and none that wasn't saved.
TEST_F(CliBatch, TheCounterIsNeverShared) {
    {
        SerialCounter::Problem problem = SerialCounter::Problem::None;
        const auto held = SerialCounter::Open(Path("n.txt"), 300, problem);
        ASSERT_TRUE(held);
        const CliResult refused = Run(Production() + "--all auto " + Path("image.bin"));
        EXPECT_EQ(refused.exitCode, 4);
        EXPECT_NE(refused.err.find("is in use"), std::string::npos) << refused.err;
        EXPECT_EQ(Chip(1), std::string(1 << 20, '\xFF'));
    }
    WriteFileText(Path("n.txt"), "300\ntaken 298\ntaken 299\n");
    ASSERT_EQ(Run(Production() + "--all auto " + Path("image.bin")).exitCode, 0);
    const std::string log = ReadFileText(Path("log.csv"));
    for (const char* skipped : {",298,skipped,", ",299,skipped,"}) {
        EXPECT_NE(log.find(skipped), std::string::npos) << log;
        EXPECT_EQ(log.find(skipped), log.rfind(skipped)) << log;
    }
    EXPECT_EQ(ReadFileText(Path("n.txt")), "304\n");
    const CliResult otherStart = Run(Production() + "--serial-start 300 --all auto " + Path("image.bin"));
    EXPECT_EQ(otherStart.exitCode, 2);
    EXPECT_NE(otherStart.err.find("its next number is 304"), std::string::npos) << otherStart.err;
    EXPECT_EQ(ReadFileText(Path("n.txt")), "304\n");

    // In a mount namespace of its own the counter sits on a file system that is full.
    if (std::system("unshare -Urm true 2>/dev/null") != 0) GTEST_SKIP() << "no mount namespaces here";
    const std::string full = Path("full");
    std::filesystem::create_directory(full);
    const std::string before = Chip(1);
    const CliResult noRoom = RunCli("--lang en -c EN25T80 --emulate-count 2 --emulate-image " + Path("chip%d.img") +
                                        " --serialize 0x100,dec,8 --serial-file " + full + "/n.txt --all auto " +
                                        Path("image.bin"),
                                    "unshare -Urm sh -c 'mount -t tmpfs -o size=8k tmpfs " + full + " && echo 500 >" +
                                        full + "/n.txt && cat /dev/zero >" + full +
                                        "/fill 2>/dev/null; exec \"$0\" \"$@\"'");
    EXPECT_EQ(noRoom.exitCode, 4) << noRoom.err;
    EXPECT_NE(noRoom.err.find("Can't save the counter"), std::string::npos) << noRoom.err;
    EXPECT_EQ(noRoom.err.find("Erasing"), std::string::npos) << noRoom.err;
    EXPECT_EQ(Chip(1), before);
}

}  // namespace
}  // namespace qbr
