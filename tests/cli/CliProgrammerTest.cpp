// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer commands of the command-line tool, end to end on the emulated
// programmer with a chip image that persists between runs.
#include "base/Checksums.h"
#include "cli/CliRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>

namespace qbr::test {
namespace {

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

class CliProgrammer : public ::testing::Test {
protected:
    // The emulated programmer with `chip` in its socket, whose contents live in CHIP.img.
    CliResult Run(const std::string& chip, const std::string& arguments) {
        return RunCli("--lang en -q -c " + chip + " --emulate --emulate-image " + Path(chip + ".img") + " " +
                      arguments);
    }
    // Four emulated EN25T80, whose chips live in chip1.img ... chip4.img.
    CliResult RunFour(const std::string& arguments) {
        return RunCli("--lang en -q -c EN25T80 --emulate-count 4 --emulate-image " + Path("chip%d.img") + " " +
                      arguments);
    }
    std::string Path(const std::string& name) const { return dir.file(name).string(); }

    TempDir dir;
};

// Intel HEX input, made by objcopy, into a 24-series EEPROM; a byte the chip
// lacks is reported once, at its address.
TEST_F(CliProgrammer, AHexImageReadsBackEqualAndAMismatchIsReportedExactly) {
    std::string image = RandomBytes(256, 2);
    image[0x10] = '\x11';
    WriteFileText(Path("small.bin"), image);
    ASSERT_EQ(std::system(("objcopy -I binary -O ihex " + Path("small.bin") + " " + Path("small.hex")).c_str()), 0);
    ASSERT_EQ(Run("24C02", "write " + Path("small.hex")).exitCode, 0);
    const CliResult read = Run("24C02", "read -");
    ASSERT_EQ(read.exitCode, 0);
    EXPECT_EQ(read.out, image);

    image[0x10] = '\x22';
    image[0x20] = static_cast<char>(image[0x20] ^ 0x01);
    WriteFileText(Path("other.bin"), image);
    const CliResult verify = Run("24C02", "verify " + Path("other.bin"));
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_NE(verify.err.find("Verify chip error!\n\nAddr:0x000010   \n Buf:0x22   \nChip:0x11   \n"),
              std::string::npos)
        << verify.err;
    EXPECT_EQ(verify.err.find("Verify chip error!"), verify.err.rfind("Verify chip error!"));  // said once
    const CliResult json = Run("24C02", "--json verify " + Path("other.bin"));
    EXPECT_EQ(json.err.find("Reading..."), std::string::npos) << json.err;  // the count's own read is quiet
    const auto report = nlohmann::json::parse(json.out);
    EXPECT_EQ(report["mismatch"], (nlohmann::json{{"address", 0x10}, {"buffer", 0x22}, {"chip", 0x11}}));
    EXPECT_EQ(report["differing_bytes"], 2);
    EXPECT_EQ(report["error"]["code"], "verify-mismatch");
}

// Backups, ranges, the full diff and sparse writes, step by step on one emulated
// EN25T80 whose contents each step leaves to the next; JSON fields by pointer.
TEST_F(CliProgrammer, SafetyFeaturesWorkEndToEnd) {
    std::string image(1 << 20, '\xFF');
    image.replace(0, 0x2000, RandomBytes(0x2000, 3));
    image.replace(0x80000, 0x3000, RandomBytes(0x3000, 4));
    WriteFileText(Path("img.bin"), image);
    WriteFileText(Path("blank.bin"), std::string(1 << 20, '\xFF'));
    const std::string part = RandomBytes(0x100, 5);
    WriteFileText(Path("part.bin"), part);
    WriteFileText(Path("long.bin"), image + "x");
    WriteFileText(Path("partlong.bin"), part + "x");
    WriteFileText(Path("empty.bin"), "");
    WriteFileText(Path("abc.bin"), "abc");
    std::string two(1 << 20, '\xFF');
    two.replace(0xC0000, 0x100, part).replace(0xE0000, 0x100, part);
    WriteFileText(Path("two.bin"), two);
    // Records before any extended address from 0, then at 0x100000: one byte past the chip.
    WriteFileText(Path("over.hex"), ":0100000000FF\n:020000040010EA\n:0100000000FF\n:00000001FF\n");
    // Data at 0x1000 and an empty record past the chip.
    WriteFileText(Path("tail.hex"), ":020000040000FA\n:10100000" + std::string(32, '1') +
                                        "D0\n:0200000400906A\n:0000000000\n:00000001FF\n");
    // 16 bytes of 0xFF just below 0x90000.
    WriteFileText(Path("low.hex"), ":020000040008F2\n:10FFF000" + std::string(32, 'F') + "11\n:00000001FF\n");
    // Placed from 0 by its opening address record, all of it past the chip.
    WriteFileText(Path("beyond.hex"), ":020000040000FA\n:020000040010EA\n:0100000000FF\n:00000001FF\n");
    ASSERT_EQ(std::system(("objcopy -I binary -O ihex --change-addresses 0x08000000 " + Path("part.bin") + " " +
                           Path("linked.hex"))
                              .c_str()),
              0);
    std::filesystem::create_directory(Path("backups"));
    struct Step {
        std::string arguments;
        int code;
        std::string text;  // in the error stream
        nlohmann::json fields;
    };
    const Step steps[] = {
        {"auto --backup-dir " + Path("backups") + " " + Path("img.bin"),
         0,
         "Backup saved: " + Path("backups/EN25T80-"),
         {{"/backup/crc32", "956bac74"}, {"/ok", true}}},  // zlib.crc32 of 1 MiB of 0xFF
        {"verify --diff " + Path("img.bin"), 0, "Verify chip ok!", {{"/differing_bytes", 0}, {"/cause", "none"}}},
        // A loose contact: the count's second read disagrees with the verify's, so no count.
        {"--emulate-fault flip@0x1000 verify " + Path("img.bin"),
         1,
         "Addr:0x001000",
         {{"/reads_differ", true}, {"/mismatch/address", 0x1000}}},
        {"--emulate-fault protect@0x80800 auto " + Path("img.bin"), 1, "Addr:0x080800", {}},
        {"verify --diff " + Path("img.bin"),
         1,
         "Likely cause: not programmed.",
         {{"/differing_ranges/0/address", 0x80800}, {"/cause", "not programmed"}}},
        {"verify --diff " + Path("blank.bin"), 1, "Likely cause: not erased.", {{"/range_count", 2}}},
        {"write --offset 0x1000 --length 0x100 " + Path("part.bin"),
         1,
         "the byte at 0x001000 is",
         {{"/not_blank_at", 0x1000}}},
        {"write --offset 0x90000 " + Path("part.bin"), 0, "Write chip ok!", {{"/runs", 1}}},
        {"read --offset 0x90000 --length 256 " + Path("back.bin"), 0, "Read chip ok!", {{"/bytes", 256}}},
        {"read --offset 0x90000 --length 256 " + Path("back.hex"), 0, "Read chip ok!", {}},
        {"verify --offset 0x90000 --length 256 " + Path("back.hex"), 0, "Verify chip ok!", {}},  // chip addresses
        {"write --offset 0xA0000 --length 256 " + Path("back.hex"), 4, "reach outside the range", {}},
        {"write --offset 0x80000 --length 256 " + Path("back.hex"), 4, "reach outside the range", {}},
        {"verify --offset 0x90000 --length 256 " + Path("low.hex"), 4, "reach outside the range", {}},  // 0xFF too
        {"verify --offset 0x1000 --length 256 " + Path("tail.hex"), 4, "reach outside the range", {}},
        {"write --skip-blank=check " + Path("img.bin"), 1, "not 0xFF", {}},
        {"write --skip-blank --offset 0xA0000 --length 0x1000 " + Path("part.bin"), 0, "", {{"/runs", 1}}},
        {"verify --offset 0xA0000 --length 0x100 " + Path("part.bin"), 0, "Verify chip ok!", {}},
        {"read --offset 0xFFFFF --length 2 " + Path("x.bin"), 2, "is not inside EN25T80", {}},
        {"erase --backup " + Path("none/x.bin"), 4, "Can't write the backup", {}},
        {"--emulate-fault short@4096 read " + Path("x.bin"), 1, "", {}},  // no copy of the chip
        {"--emulate-fault flip@5 read --reads 3 " + Path("x.bin"),
         1,
         "  0x000005..0x000005  (1)",
         {{"/differing_ranges/0/length", 1}, {"/range_count", 1}}},
        // Our record files of a range come back where they were read, also without the range.
        {"read --offset 0x90000 --length 256 " + Path("back.srec"), 0, "Read chip ok!", {}},
        {"auto " + Path("back.hex"), 0, "Verify chip ok!", {}},
        {"verify --offset 0x90000 --length 256 " + Path("back.bin"), 0, "Verify chip ok!", {}},
        {"auto " + Path("back.srec"), 0, "Verify chip ok!", {}},
        {"verify --offset 0x90000 --length 256 " + Path("back.bin"), 0, "Verify chip ok!", {}},
        {"write --skip-blank " + Path("linked.hex"),
         0,
         "File addresses 0x08000000..0x080000FF → chip 0x000000..0x0000FF",
         {{"/placed/file_address", 0x08000000}, {"/placed/length", 256}}},
        // A write is verified: an unerased flash, a protected block, every run of a sparse write.
        {"write " + Path("blank.bin"), 1, "Likely cause: not erased.", {{"/cause", "not erased"}, {"/ok", false}}},
        {"write --no-verify " + Path("blank.bin"), 0, "Write chip ok!", {{"/verified", false}, {"/ok", true}}},
        {"--emulate-fault short@16 write " + Path("blank.bin"), 1, "Read chip error!", {{"/verified", false}}},
        {"--emulate-fault protect@0xB0080 write --offset 0xB0000 --length 256 " + Path("part.bin"),
         1,
         "Likely cause: not programmed.",
         {{"/differing_ranges/0/address", 0xB0080}}},
        {"--emulate-fault protect@0xE0000 write --skip-blank " + Path("two.bin"),
         1,
         "  0x0E0000..0x0E00FF",
         {{"/runs", 2}, {"/range_count", 1}}},
        // Images that don't fit are refused before the chip is touched, unless cut.
        {"write " + Path("long.bin"),
         4,
         "long.bin holds 1048577 bytes, more than the 1048576 bytes of EN25T80 0x000000..0x0FFFFF.",
         {{"/ok", false}, {"/image/fit", "too long"}}},
        {"verify --length 256 " + Path("partlong.bin"), 4, "holds 257 bytes", {}},
        {"verify --cut --length 256 " + Path("partlong.bin"), 0, "File is too long!", {{"/image/fit", "cut"}}},
        {"write --offset 0x1000 --length 256 - <" + Path("partlong.bin"), 4, "Standard input holds more than", {}},
        {"verify " + Path("over.hex"), 4, "holds 1048577 bytes", {}},
        {"write " + Path("empty.bin"), 4, "empty.bin is empty", {{"/image/fit", "empty"}}},
        {"write - </dev/null", 4, "Standard input is empty", {}},
        {"write --cut " + Path("beyond.hex"), 4, "lands inside the chip", {{"/error/code", "image-empty"}}},
        // chip-sum: the whole chip's sum (0xFF beyond the file) beside the file's own CRC-32 and SHA-256.
        {"chip-sum " + Path("abc.bin"),
         0,
         "",
         {{"/checksum", "0FEFFE29"},
          {"/file_bytes", 3},
          {"/file_crc32", "352441c2"},
          {"/file_sha256", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.arguments);
        const CliResult run = Run("EN25T80", "--json " + step.arguments);
        EXPECT_EQ(run.exitCode, step.code) << run.err;
        EXPECT_NE(run.err.find(step.text), std::string::npos) << run.err;
        const auto report = nlohmann::json::parse(run.out);
        for (const auto& [pointer, value] : step.fields.items()) {
            EXPECT_EQ(report[nlohmann::json::json_pointer(pointer)], value) << pointer;
        }
    }
    EXPECT_EQ(ReadFileText(Path("back.bin")), part);
    EXPECT_FALSE(std::filesystem::exists(Path("x.bin")));
    EXPECT_EQ(ReadFileText(Path("EN25T80.img")).substr(0xB0000, 0x100),
              part.substr(0, 0x80) + std::string(0x80, '\xFF'));

    // Checksums: the read's are chip-sum's of the file it wrote, and sha256sum agrees.
    const auto read = nlohmann::json::parse(Run("EN25T80", "--json read " + Path("all.bin")).out);
    const auto sum = nlohmann::json::parse(RunCli("--json -c EN25T80 chip-sum " + Path("all.bin")).out);
    EXPECT_EQ(ReadFileText(Path("all.bin")), ReadFileText(Path("EN25T80.img")));
    EXPECT_EQ(sum["crc32"], read["crc32"]);
    EXPECT_EQ(sum["sha256"], read["sha256"]);
    EXPECT_EQ(RunCli("--version >/dev/null; sha256sum " + Path("all.bin")).out.substr(0, 64), sum["sha256"]);
    EXPECT_EQ(sum["checksum"].get<std::string>().size(), 8u);
    const std::string cut = RunCli("-c EN25T80 chip-sum " + Path("long.bin")).err;
    EXPECT_TRUE(cut.find("File is too long!") != std::string::npos &&
                cut.find("File is too long!") == cut.rfind("File is too long!"))
        << cut;
}

// A production run: each chip gets the next number from the store, verified in
// place, and a row; a failed chip's number is recorded and never used again. A
// missing or used-up counter, or one whose format --serialize contradicts, is
// refused before the chip is read.
TEST_F(CliProgrammer, SerialNumbersFromTheProductionStore) {
    WriteFileText(Path("image.bin"), std::string(0x1000, '\x5A'));
    const std::string store = Path("line.db");
    const std::string run = "--serialize 0x100,dec,8 --production " + store;
    const std::string backup = " --backup " + Path("backup.bin");
    const auto counter = [&](const std::string& options) { return RunCli("production counter " + store + options); };
    EXPECT_EQ(Run("EN25T80", run + " auto" + backup + " " + Path("image.bin")).exitCode, 2);  // no counter yet
    EXPECT_EQ(counter(" default --last 9").exitCode, 2);                                      // a new one needs --start
    EXPECT_EQ(counter(" default --start 10 --last 5").exitCode, 2);                           // ends before it starts
    ASSERT_EQ(counter(" default --start 5 --last 9").exitCode, 0);
    ASSERT_EQ(counter(" other --start 1 --format 0x200,dec,8").exitCode, 0);
    ASSERT_EQ(counter(" narrow --start 100 --format 0x300,dec,2").exitCode, 0);
    const std::pair<std::string, int> steps[] = {
        {run + " auto", 0},
        {run + " auto", 0},
        {run + " --emulate-fault flip@0x100 auto", 1},
        {run + " read", 2},
        {"--serialize 0x100,dec,8 auto", 2},
        {"--counter default auto", 2},
        {run + " write --no-verify", 2},
        {"--production " + store + " write --no-verify", 2},
        {run + " --counter other auto", 2},                        // the counter places its numbers elsewhere
        {"--production " + store + " --counter default auto", 2},  // nothing says where the numbers go
        {run + " auto", 0},
        {run + " write", 1},          // number 9 over number 8, unerased: the chip holds neither
        {run + " auto" + backup, 4},  // used up
        {"--production " + store + " --counter other auto", 0},
        {"--production " + store + " --counter narrow auto", 4},       // 100 needs three digits: no number taken
        {"--json --production " + store + " --counter \xff auto", 2},  // not UTF-8, still one document
        {"--production " + store + " read", 0},                        // its row has the sum of the data read
    };
    for (const auto& [arguments, code] : steps) {
        EXPECT_EQ(Run("EN25T80", arguments + " " + Path("image.bin")).exitCode, code) << arguments;
    }
    // The tool's own programmer commands have their rows too; they number no chip.
    EXPECT_EQ(Run("EN25T80", run + " link").exitCode, 2);
    EXPECT_EQ(Run("EN25T80", "--production " + store + " blank-check").exitCode, 1);
    EXPECT_EQ(Run("EN25T80", "--production " + store + " link").exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(Path("backup.bin")));
    EXPECT_EQ(ReadFileText(Path("EN25T80.img")).substr(0xFF, 10), "ZZZZZZZZZZ");
    EXPECT_EQ(ReadFileText(Path("EN25T80.img")).substr(0x1FF, 10), "Z00000001Z");
    const std::string log = RunCli("production export " + store + " --csv -").out;
    const std::string chip = ReadFileText(Path("EN25T80.img"));
    const std::string read = ",read,,ok," +
                             Crc32Text(Crc32(std::span(reinterpret_cast<const uint8_t*>(chip.data()), chip.size())));
    for (const std::string& line :
         {std::string(",emulated-1,EN25T80,auto,5,ok,"), std::string(",auto,6,ok,"), std::string(",auto,7,failed,"),
          std::string(",auto,8,ok,"), std::string(",write,9,failed,"), std::string(",auto,1,ok,"), read,
          std::string(",blank-check,,failed,"), std::string(",link,,ok,")}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 10);
    // An export named as the store or its log would replace the records; a mistyped store is not made.
    for (const std::string& csv : {store, store + "-wal"}) {
        EXPECT_EQ(RunCli("production export " + store + " --csv " + csv).exitCode, 2) << csv;
    }
    EXPECT_EQ(RunCli("production export " + Path("typo.db") + " --csv -").exitCode, 4);
    EXPECT_FALSE(std::filesystem::exists(Path("typo.db")));
    const nlohmann::json counters = nlohmann::json::parse(counter(" --json").out);
    EXPECT_EQ(counters["counters"][0],
              nlohmann::json::parse(R"({"name":"default","next":10,"last":9,"free":0,"format":""})"));
}

// A firmware file goes to the programmer only when the user confirmed it: without
// a terminal to ask on that takes --yes (a usage error otherwise), and an empty
// file or a FIFO is refused either way. The trace shows whether anything was sent.
TEST_F(CliProgrammer, AFirmwareFileIsSentOnlyWhenConfirmed) {
    WriteFileText(Path("fw.qbr"), RandomBytes(1000, 3));
    WriteFileText(Path("empty.qbr"), "");
    ASSERT_EQ(mkfifo(Path("fifo.qbr").c_str(), 0600), 0);  // never opened: it would wait for a writer
    const struct {
        std::string arguments;
        int code;
        bool sent;
        std::string message;
    } cases[] = {
        {"update-firmware " + Path("fw.qbr"), 2, false, "There is no terminal to ask on: give --yes to confirm."},
        {"update-firmware " + Path("empty.qbr"), 2, false, "give --yes"},
        {"update-firmware --yes " + Path("empty.qbr"), 4, false, ""},
        {"update-firmware --yes " + Path("fifo.qbr"), 4, false, ""},
        {"update-firmware --yes " + Path("fw.qbr"), 0, true, "Firmware update ok!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CliResult run = Run("24C02", "--trace " + Path("t.jsonl") + " " + c.arguments + " </dev/null");
        EXPECT_EQ(run.exitCode, c.code) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        const std::string trace = ReadFileText(Path("t.jsonl"));
        EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n') > 1, c.sent) << trace;
    }
}

// Several emulated programmers: listing them, choosing one, and batches on all of
// them (the production batches are the line test's).
TEST_F(CliProgrammer, ListsAndChoosesProgrammers) {
    const std::string image = std::string(0x8000, '\x5A') + std::string(0x8000, '\xA5');
    WriteFileText(Path("image.bin"), image);
    const nlohmann::json list = nlohmann::json::parse(RunFour("--json --emulate-fault 3:unplugged programmers").out);
    ASSERT_EQ(list["programmers"].size(), 4u);
    EXPECT_EQ(list["programmers"][1]["id"], "emulated-2");
    EXPECT_EQ(list["programmers"][1]["serial"], "EMU0000002");
    EXPECT_EQ(list["programmers"][1]["access"], "allowed");
    EXPECT_EQ(list["programmers"][2]["access"], "no-answer");

    ASSERT_EQ(RunFour("--programmer EMU0000003 write " + Path("image.bin")).exitCode, 0);
    EXPECT_EQ(ReadFileText(Path("chip3.img")).substr(0, image.size()), image);
    EXPECT_FALSE(std::filesystem::exists(Path("chip1.img")));  // no other programmer was used

    const CliResult unknown = RunFour("--programmer 1-1.9 link");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("Attached: emulated-1, emulated-2, emulated-3, emulated-4."), std::string::npos);

    // Usage errors before any programmer is used: four reads can't share a file, nor
    // four writes standard input; a fault for programmer 5 of 4.
    for (const std::string& usage : {"--all read " + Path("one.bin"), "--all write - <" + Path("image.bin"),
                                     std::string("--emulate-fault 5:no-reply --all link")}) {
        EXPECT_EQ(RunFour(usage).exitCode, 2) << usage;
    }
    EXPECT_EQ(RunCli("--emulate-count 2 --emulate-image " + Path("one.img") + " --all link").exitCode, 2);
    // Runs that stop before their report still have their object.
    const CliResult noChip = RunCli("--json --emulate-count 4 --all -c NOPE link");
    EXPECT_EQ(nlohmann::json::parse(noChip.out)["results"].size(), 4u) << noChip.out;
    ASSERT_EQ(RunFour("--all read " + Path("read-%s.bin")).exitCode, 0);
    EXPECT_EQ(ReadFileText(Path("read-emulated-3.bin")), ReadFileText(Path("chip3.img")));
    EXPECT_EQ(ReadFileText(Path("read-emulated-4.bin")), std::string(1 << 20, '\xFF'));
    // Backups made in the same second by four programmers are four files.
    std::filesystem::create_directory(Path("backups"));
    ASSERT_EQ(RunFour("--all erase --backup-dir " + Path("backups")).exitCode, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("backups")), {}), 4);
}

}  // namespace
}  // namespace qbr::test
