// SPDX-License-Identifier: GPL-3.0-or-later
// Several emulated programmers: choosing one, and production batches on all of
// them while one misbehaves.
#include "base/Checksums.h"
#include "cli/CliRunner.h"
#include "store/ProductionStore.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <map>
#include <sqlite3.h>
#include <sstream>
#include <string>
#include <unistd.h>

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
    std::string Store() const { return Path("line.db"); }
    std::string Production() const { return "--serialize 0x100,dec,8 --production " + Store() + " "; }
    void Counter(const std::string& options) {
        ASSERT_EQ(RunCli("production counter " + Store() + " default " + options).exitCode, 0);
    }
    json Counters() const { return json::parse(RunCli("production counter " + Store() + " --json").out)["counters"]; }
    // The store's rows as the export writes them, after the header, by programmer.
    std::map<std::string, std::string> LogLines() const {
        std::map<std::string, std::string> lines;
        std::istringstream log(RunCli("production export " + Store() + " --csv -").out);
        std::string line;
        std::getline(log, line);
        while (std::getline(log, line))
            lines[line.substr(line.find(',') + 1, line.find(",EN25T80") - line.find(',') - 1)] += line;
        return lines;
    }
    // A run that took a number and was killed before its chip's end.
    void LeaveTakenRow() {
        const pid_t child = fork();
        if (child == 0) {
            StoreError error;
            const auto store = ProductionStore::Open(Store(), error);
            ChipRow row;
            row.station = "station-9";
            row.programmer = "emulated-9";
            row.chip = "EN25T80";
            row.command = "auto";
            _exit(store && store->Begin(row, "default", error) ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_EQ(status, 0);
    }
    // The store refuses to record any chip's end, as a store that can no longer be
    // written does.
    void RefuseEnds() {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Store().c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "CREATE TRIGGER refuse BEFORE UPDATE OF result ON chips WHEN NEW.result IN "
                               "('ok','failed') BEGIN SELECT RAISE(ABORT, 'refused'); END",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
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
// number is used once, and each chip has its row in the store, with the CRC-32 of
// what it was given.
struct BatchFault {
    const char* fault;
    int exitCode;
};

class CliBatchFault : public CliBatch, public ::testing::WithParamInterface<BatchFault> {};

TEST_P(CliBatchFault, TheOthersFinish) {
    Counter("--start 256");
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
        const std::string image = Serialized(serial);
        const std::string sum = Crc32Text(
            Crc32(std::span(reinterpret_cast<const uint8_t*>(image.data()), image.size())));
        EXPECT_NE(log.at(id).find(",auto," + std::to_string(serial) + (good ? ",ok," + sum : ",failed,")),
                  std::string::npos)
            << log.at(id);
        if (good) {
            EXPECT_EQ(Chip(id.back() - '0'), Serialized(serial)) << id;
        }
    }
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<uint64_t>{256, 257, 258, 259}));
    EXPECT_EQ(log.size(), 4u);
    EXPECT_EQ(Counters()[0]["next"], 260);
}

INSTANTIATE_TEST_SUITE_P(OnProgrammer2, CliBatchFault,
                         ::testing::Values(BatchFault{"", 0}, BatchFault{"protect@0x8000", 1},
                                           BatchFault{"unplug@4096", 1}, BatchFault{"stall@8192", 1},
                                           BatchFault{"unplugged", 3}));

// A run killed in the middle left a number taken; the store can't record the
// chips' ends; the counter runs out (a full disk is the line test's): no number is used
// twice, the interrupted one is reported once, every chip programmed but not
// recorded is named with its number, and no chip is touched without a number.
TEST_F(CliBatch, EveryNumberIsAccountedFor) {
    Counter("--start 300 --last 307");  // 300 for the killed run, 301-304, 305-307
    LeaveTakenRow();
    const json first = json::parse(Run("--json " + Production() + "--all auto " + Path("image.bin")).out);
    std::vector<json> interrupted;
    for (const json& report : first["results"]) {
        EXPECT_EQ(report["ok"], true) << report;
        if (report.contains("interrupted")) interrupted.push_back(report["interrupted"]);
    }
    ASSERT_EQ(interrupted.size(), 1u);
    interrupted[0][0].erase("time");
    EXPECT_EQ(interrupted[0], json::parse(R"([{"serial":300,"counter":"default","station":"station-9",
        "programmer":"emulated-9","chip":"EN25T80","command":"auto"}])"));

    // Three numbers left for four programmers: the one that finds none is not touched.
    RefuseEnds();
    std::map<int, std::string> chips;
    for (int index = 1; index <= 4; ++index) chips[index] = Chip(index);
    const CliResult unrecorded = Run("--json " + Production() + "--all auto " + Path("image.bin"));
    EXPECT_EQ(unrecorded.exitCode, 4);
    int refused = 0;
    const json results = json::parse(unrecorded.out)["results"];
    for (const json& report : results) {
        const int index = report["programmer"].get<std::string>().back() - '0';
        if (!report.contains("serial")) {
            EXPECT_EQ(report["error"]["code"], "counter-used-up") << report;
            EXPECT_EQ(Chip(index), chips[index]);
            ++refused;
            continue;
        }
        EXPECT_EQ(report["error"]["code"], "store-error") << report;
        EXPECT_EQ(report["ok"], false);
        EXPECT_EQ(report["unrecorded"]["serial"], report["serial"]) << report;
        EXPECT_EQ(Chip(index), Serialized(report["serial"]));
        EXPECT_NE(unrecorded.err.find("NOT RECORDED: the chip with serial number " + report["serial"].dump()),
                  std::string::npos)
            << unrecorded.err;
    }
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(Counters()[0]["next"], 308);

    // Four programmers, no number left: nothing is read or changed.
    const std::string before = Chip(1);
    const CliResult usedUp = Run("--json " + Production() + "--all auto --backup " + Path("b-%s.bin") + " " +
                                 Path("image.bin"));
    EXPECT_EQ(usedUp.exitCode, 4);
    EXPECT_EQ(json::parse(usedUp.out)["error"]["code"], "counter-used-up");
    EXPECT_FALSE(std::filesystem::exists(Path("b-emulated-1.bin")));
    EXPECT_EQ(Chip(1), before);
}

}  // namespace
}  // namespace qbr
