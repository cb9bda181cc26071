// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>

namespace qbr::test {
namespace {

// What a user reads, in either language, beside the exit code. Texts made for
// boxes print with plain line ends.
struct TextRun {
    const char* arguments;
    int exitCode;
    const char* text;  // in either stream
};

const TextRun kTextRuns[] = {
    {"--lang en chips 'en25*80'", 0, "\nEN25T80   1024KB  EON  SPI FLASH\n"},
    {"--lang en chips 'NO*SUCH'", 1, "Find 0 Chips!\n"},
    {"--lang en chip en25t80", 0, "makerName: EON\nspareByte: 0\nvoltage: 33\ncapacity: 1048576\n"},
    {"--lang en chip en25t80", 0, "manufacturerId: 1C\ndeviceId: 14\n"},
    {"--lang zh chip NOSUCHCHIP", 2, "芯片数据库中没有名为 \"NOSUCHCHIP\""},
    {"--lang zh -c 24C02 --emulate erase", 1, "24C02 不是 SPI Flash"},
    {"--lang zh --emulate=w25q64fv detect", 0, "   \n("},
    {"--lang zh -c 24C02 --emulate detect", 1, "只有 SPI Flash 芯片才有"},
    {"--lang zh -c EN25T80 chip-sum " QBR_RUNTIME_DIR "/config.ini", 0, "的校验和)\nCRC-32: "},
    {"--lang zh -c EN25T80 chip-sum " QBR_RUNTIME_DIR "/config.ini", 0, "\n文件 CRC-32: "},
    {"--help", 0, "\n  flip@ADDR "},  // the emulator's faults explained
    {"--lang en --emulate=W25Q64FV detect", 0, "S25FL064K  SPANSION  8192KB\nalso: W25P64  WINBOND  8192KB\n"},
    {"--lang en -q --emulate selftest", 0, "Auto test result: Hardware is OK!\n"},
    {"--lang en --emulate doctor", 0, "\n   Auto test result: Hardware is OK!\nAll is well.\n"},
    {"--lang zh --emulate doctor", 0, "1. 总线上的编程器  [正常]\n   由模拟编程器代替"},
    {"--lang zh --emulate doctor", 0, "测试结果: 编程器一切正常!\n一切正常。\n"},
    {"--lang zh --emulate-count 0x41 link", 2, "不是 1 到 64 之间的整数"},
    {"--lang en --emulate-count 0x40 --emulate-fault 64:unplugged --programmer emulated-64 link", 3, ""},
    {"frobnicate now", 2, "not expected: frobnicate now\n"},  // the unknown words are named as given
    {"production frobnicate", 2, "frobnicate"},
    {"--bogus chips", 2, ""},
    {"--replay /nonexistent.jsonl --emulate-count 2 link", 2, "--emulate-count"},  // a trace plays one programmer
    {"--lang fr chips", 2, ""},
    {"chip", 2, ""},
    {"--emulate --emulate-fault Stall@1 link", 2, "unknown fault; known: unplugged, unplug@N"},
    {"--emulate --emulate-fault unplug link", 2, "needs a value: unplug@N"},
    {"--emulate --emulate-fault reject@1 link", 2, "takes no value: reject"},
    {"--emulate --emulate-fault stall@12k link", 2, "not a number"},
    {"--lang zh --emulate --emulate-fault stall@12k link", 2, "模拟器故障 \"stall@12k\": 值不是数字"},
    {"--lang en --emulate --emulate-image /tmp/qbr-image.bin read /tmp/./qbr-image.bin", 2,
     "the emulated chip, saved into it at the end, would write over it"},
    {"--lang en --production /tmp/qbr-line.db --emulate --emulate-image /tmp/./qbr-line.db link", 2,
     "--emulate-image /tmp/./qbr-line.db names a file this run writes"},
    {"--lang en --emulate-count 2 --emulate-image '/tmp/qbr-t%d.bin' --trace /tmp/qbr-t2.bin link", 2,
     "--trace /tmp/qbr-t2.bin names a file"},
    {"--version >/dev/null; (ln -sf /tmp/qbr-none.bin /tmp/qbr-dangling.bin; " QBR_RUNTIME_DIR
     "/qbr5150-cli --lang en --emulate --emulate-image /tmp/qbr-none.bin read /tmp/qbr-dangling.bin; code=$?; rm "
     "/tmp/qbr-dangling.bin; exit $code)",
     2, "would write over it"},
    // The emulator's options without an emulated programmer are refused, not ignored.
    {"--lang en --emulate-fault stall@1 link", 2, "--emulate-fault works only with the emulated programmer"},
    {"--lang en --emulate-speed full link", 2, "--emulate-speed works only with the emulated programmer"},
    {"--lang zh --emulate-image /nonexistent.bin link", 2, "--emulate-image 只能用于模拟编程器"},
    {"--lang en --db /nonexistent/chips.dat chips", 4, ""},
    {"--lang en --production /nonexistent/line.db chips 'en25*80'", 0, "EN25T80"},  // no row, so no programmer needed
    {"--lang zh --emulate --trace /tmp/qbr-same-file.bin read /tmp/./qbr-same-file.bin", 2,
     "qbr-same-file.bin 与本次运行"},
    // A file larger than the memory allowed is summed a piece at a time (no limit where the sanitizers need more).
    {"--version >/dev/null; f=$(mktemp); truncate -s 160M $f; (ulimit -S -v 100000; " QBR_RUNTIME_DIR
     "/qbr5150-cli --version >/dev/null 2>&1 || ulimit -S -v unlimited; " QBR_RUNTIME_DIR
     "/qbr5150-cli --lang en -c 24C02 chip-sum $f; code=$?; rm $f; exit $code)",
     0, "File SHA-256: 61b5d2e238243a70dd9e9ad76225379515134a2531f374f960f5c6b5cf42519d\n"},
    // The chip detection selects is named before the detection's own text; a doctor's
    // question that fails answers with the failure the command showed.
    {"--lang en --emulate=W25Q64FV detect", 0, "S25FL064K\nChip type: S25FL064K   \n"},
    {"--lang en --emulate --emulate-fault no-reply doctor", 1, "\n   Read firmware version error!\n   Read Serial"},
    {"--lang zh --emulate=W25Q64FV blank-check --offset 0x7FFF00", 0, "空白: 0x7FFF00 至 0x7FFFFF 已擦除"},
    {"--lang en --emulate=W25Q64FV --emulate-fault flip@4096 blank-check", 1,
     "Not blank: the byte at 0x001000 is 0x00 (bytes of the range that are not 0xFF: 1)."},
    // Two reads that differ say where.
    {"--lang zh --emulate=W25Q64FV --emulate-fault flip@4096 read --reads 2 -", 1,
     "芯片接触不可靠 (夹子、座子或连线)。没有写入文件。\n不同的字节: 1 个, 共 1 段:\n  0x001000..0x001000  (1)\n"},
};

TEST(CliText, WhatTheUserReadsAndTheExitCode) {
    for (const TextRun& run : kTextRuns) {
        SCOPED_TRACE(run.arguments);
        const CliResult result = RunCli(run.arguments);
        EXPECT_EQ(result.exitCode, run.exitCode) << result.err;
        EXPECT_NE((result.out + result.err).find(run.text), std::string::npos) << result.out << result.err;
        EXPECT_EQ((result.out + result.err).find('\r'), std::string::npos);
    }
    // The count closes the list, and counts its lines.
    for (const char* arguments : {"--lang en chips 'en25*80'", "--lang zh chips"}) {
        const std::string out = RunCli(arguments).out;
        const std::string count = std::to_string(std::count(out.begin(), out.end(), '\n') - 1);
        EXPECT_TRUE(out.ends_with("\nFind " + count + " Chips!\n") || out.ends_with("\n共找到 " + count + " 个结果!\n"))
            << out;
    }
    // --help ends with the exit codes in one line.
    const std::string help = RunCli("--help").out;
    EXPECT_EQ(help.substr(help.rfind('\n', help.size() - 2) + 1).rfind("Exit codes: 0 done; 1 ", 0), 0u) << help;
}

struct DoctorRun {
    const char* arguments;
    int exitCode;
    const char* summary;
    const char* statuses;  // bus, access path, permission, driver, endpoints, programmer
};

const DoctorRun kRuns[] = {
    {"--emulate", 0, "All is well.", "ok ok skipped skipped ok ok"},
    {"--emulate --emulate-fault selftest-fail", 1, "Problems found: 1.", "ok ok skipped skipped ok problem"},
    {"--emulate --emulate-fault unplugged", 3, "No programmer found.", "ok ok skipped skipped ok problem"},
    // This machine has no programmer on its bus (if any bus at all); a recorded trace is none to look at.
    {"", 3, "No programmer found.", "problem ok skipped skipped skipped problem"},
    {"--replay /nonexistent/x.trace", 3, "No programmer found.", "problem ok skipped skipped skipped problem"},
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
        std::string statuses;
        for (const auto& step : report["steps"])
            statuses += (statuses.empty() ? "" : " ") + step["status"].get<std::string>();
        EXPECT_EQ(statuses, run.statuses);
        // The human report goes to the error stream beside the JSON object.
        EXPECT_NE(result.err.find("6. Programmer  ["), std::string::npos);
    }
}

// A config.ini edited by hand (a byte-order mark, the language in small letters)
// still gives texts: English, with the key named on the error stream and in the log.
TEST(CliConfig, ALanguageNotRecognisedFallsBackToEnglish) {
    const TempDir dir;
    for (const std::string file : {"qbr5150-cli", "chips.dat"}) {
        std::filesystem::copy(QBR_RUNTIME_DIR "/" + file, dir.file(file));
    }
    std::string config = ReadFileText(QBR_RUNTIME_DIR "/config.ini");
    config.replace(config.find("DefaultLanguage=English"), 23, "DefaultLanguage=english");
    WriteFileText(dir.file("config.ini"), "\xEF\xBB\xBF" + config);
    const std::string command = dir.file("qbr5150-cli").string() + " chips EN25T80 >" + dir.file("out").string() +
                                " 2>" + dir.file("err").string();
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFileText(dir.file("out")), "EN25T80  1024KB  EON  SPI FLASH\nFind 1 Chips!\n");
    const std::string message = "DefaultLanguage in section [Run] of " + dir.file("config.ini").string() +
                                " is \"english\", not English or SimpleChinese (written exactly so); the texts are "
                                "in English.";
    EXPECT_EQ(ReadFileText(dir.file("err")), message + "\n");
    EXPECT_NE(ReadFileText(dir.file("qbr5150.log")).find(message), std::string::npos);
}

struct MalformedImage {
    const char* arguments;  // before the file's path
    const char* name;
    const char* content;
    const char* reasonText;
    const char* reason;
    int line;  // 0: none
};

// Through each way an image is loaded: chip-sum, a whole chip, records in a range.
const MalformedImage kMalformedImages[] = {
    {"--lang en -c 24C02 chip-sum", "lost-colon.hex", ":0100000042BD\n0100010042BC\n:00000001FF\n",
     "\nline 2: text between records\n", "text_between_records", 2},
    {"--lang zh -c 24C02 --emulate write", "cut.s19", "S1040000AB50\nS104000142B8\n",
     "\n缺少结束记录：文件可能不完整\n", "missing_end", 0},
    {"--lang en -c 24C02 --emulate write --offset 0x10 --length 0x10", "sum.hex", ":0100100042AD\n:00000001FE\n",
     "\nline 2: bad checksum\n", "bad_checksum", 2},
};

TEST(CliImageErrors, NameTheFaultAndItsLine) {
    TempDir dir;
    for (const MalformedImage& image : kMalformedImages) {
        const std::string path = dir.file(image.name).string();
        WriteFileText(path, image.content);
        const CliResult run = RunCli(std::string("--json ") + image.arguments + " " + path);
        EXPECT_EQ(run.exitCode, 4);
        EXPECT_NE(run.err.find(path + image.reasonText), std::string::npos) << run.err;
        const auto report = nlohmann::json::parse(run.out, nullptr, false);
        EXPECT_EQ(report.value("error_reason", ""), image.reason) << run.out;
        EXPECT_EQ(report.value("error_line", 0), image.line) << run.out;
        EXPECT_EQ(report["error"]["code"], "image-malformed") << run.out;
    }
}

// With --json standard output is exactly one document for every command, also
// one that fails before it begins; a failure carries its error code, and the error
// text is what the user saw on standard error.
struct JsonRun {
    const char* arguments;
    int exitCode;
    const char* error;       // the error code; null for a success
    const char* field;       // a field the document has
    const char* opens = "";  // what the error stream begins with
};

const JsonRun kJsonRuns[] = {
    {"--emulate version", 0, nullptr, "/result"},
    {"--emulate selftest", 0, nullptr, "/result"},
    {"--emulate serial", 0, nullptr, "/result"},
    {"--emulate link", 0, nullptr, "/programmer"},
    {"--emulate=W25Q64FV detect", 0, nullptr, "/candidates/1"},
    {"--emulate doctor", 0, nullptr, "/steps/5"},
    {"--emulate-count 2 programmers", 0, nullptr, "/programmers/1/serial"},
    {"--emulate-count 2 --all link", 0, nullptr, "/results/1/programmer"},
    {"--emulate-count 2 --all chips 'en25*80'", 0, nullptr, "/chips/1"},  // once, not per programmer
    {"chips 'en25*80'", 0, nullptr, "/chips/1/capacity"},
    {"chip en25t80", 0, nullptr, "/record/page_size"},
    {"chips 'NO*SUCH'", 1, "failed", "/chips"},
    {"chip NOSUCHCHIP", 2, "no-chip-named", "/command"},
    {"--emulate -c NOSUCHCHIP read /nonexistent/x.bin", 2, "no-chip-named", "/programmer"},
    {"-c EN25T80 chip-sum /nonexistent/x.bin", 4, "file-error", "/file"},
    {"--emulate -c 24C02 detect", 1, "not-for-this-chip", "/chip"},
    {"--emulate -c EN25T80 write /nonexistent/x.bin", 4, "file-error", "/bytes"},
    {"--emulate --emulate-fault unplugged read /nonexistent/x.bin", 3, "no-programmer", "/chip"},
    {"--emulate --emulate-fault selftest-fail selftest", 1, "failed", "/chip"},
    {"--emulate --emulate-fault short@4096 auto " QBR_RUNTIME_DIR "/chips.dat", 1, "failed", "/bytes"},
    {"--emulate --emulate-fault unplugged link", 3, "no-programmer", "/chip"},
    {"--emulate -c 24C02 erase", 1, "not-for-this-chip", "/chip"},
    {"--emulate read --offset 0xFFFFF --length 2 /nonexistent/x.bin", 2, "range-outside", "/chip"},
    {"read -", 2, "usage", "/command"},
    {"-c EN25T80 chip-sum -", 2, "usage", "/command"},
    {"--emulate --emulate-fault 3:unplugged link", 2, "usage", "/command"},
    {"--emulate --emulate-speed fast link", 2, "usage", "/command"},
    {"--emulate --programmer 1-1.9 link", 2, "no-programmer-named", "/command"},
    {"--emulate --serialize 0x10,dec,4 auto /nonexistent/x.bin", 2, "usage", "/chip"},
    {"--emulate-count 2 --all --emulate-fault 2:unplugged link", 3, "no-programmer", "/results/1/error/code"},
    {"--emulate-count 2 --all read /nonexistent/x.bin", 2, "usage", "/results"},
    {"--emulate -c 24C02 write " QBR_RUNTIME_DIR "/chips.dat", 4, "image-too-long", "/image/length"},
    {"--emulate -c 24C02 verify " QBR_RUNTIME_DIR, 4, "not-a-regular-file", "/command"},
    {"--emulate update-firmware " QBR_RUNTIME_DIR "/chips.dat </dev/null", 2, "confirmation-needed", "/chip"},
    {"--emulate blank-check --length 0x100", 0, nullptr, "/blank"},
    {"--emulate --emulate-fault flip@16 blank-check", 1, "not-blank", "/not_blank_at"},
    {"--emulate --emulate-fault short@4096 blank-check", 1, "failed", "/bytes"},
    // Every numeric option takes decimal or 0x-hex within its range; a sign, junk, an
    // empty value or too large a number is a usage error that names the option.
    {"production counter /nonexistent/s.db c --start -1", 2, "bad-number", "/command", "--start: "},
    {"production counter /nonexistent/s.db c --last 18446744073709551616", 2, "bad-number", "/command", "--last: "},
    {"production counter /nonexistent/s.db c --start 18446744073709551615", 2, "bad-number", "/command",
     "--start: "},  // it has no next number
    {"--emulate read --offset -1 /nonexistent/x.bin", 2, "bad-number", "/command", "--offset: "},
    {"--emulate read --offset 12abc /nonexistent/x.bin", 2, "bad-number", "/command", "--offset: "},
    {"--emulate read --offset '' /nonexistent/x.bin", 2, "bad-number", "/command", "--offset: "},
    {"--emulate read --length 0x100000000 /nonexistent/x.bin", 2, "bad-number", "/command", "--length: "},
    {"--emulate read --reads 1 /nonexistent/x.bin", 2, "bad-number", "/command", "--reads: "},
    {"--emulate read --reads 101 /nonexistent/x.bin", 2, "bad-number", "/command", "--reads: "},
    {"--emulate-count 0 link", 2, "bad-number", "/command", "--emulate-count: "},
    {"--emulate-count 65 link", 2, "bad-number", "/command", "--emulate-count: "},
};

// The exit code follows the outcome, never the texts shown: each run gives the same
// code in both languages, whose texts all differ.
TEST(CliJson, OneDocumentWithTheErrorTheUserSaw) {
    for (const std::string language : {"en", "zh"}) {
        for (const JsonRun& run : kJsonRuns) {
            SCOPED_TRACE(language + ": " + run.arguments);
            const CliResult result = RunCli("--lang " + language + " -q --json " + run.arguments);
            EXPECT_EQ(result.exitCode, run.exitCode) << result.err;
            const auto report = nlohmann::json::parse(result.out, nullptr, false);
            ASSERT_FALSE(report.is_discarded()) << result.out;
            EXPECT_EQ(report["ok"], run.exitCode == 0);
            EXPECT_TRUE(report.contains(nlohmann::json::json_pointer(run.field))) << result.out;
            EXPECT_EQ(report.contains("error"), run.error != nullptr) << result.out;
            if (!run.error) continue;
            EXPECT_EQ(report["error"]["code"], run.error);
            const std::string text = report["error"]["text"];
            EXPECT_FALSE(text.empty());
            EXPECT_NE(result.err.find(text), std::string::npos) << text << "\n" << result.err;
            EXPECT_EQ(result.err.rfind(run.opens, 0), 0u) << result.err;
        }
    }
    // A document that can't be written is a failure, not a success.
    const CliResult full = RunCli("--version >/dev/null; (" QBR_RUNTIME_DIR
                                  "/qbr5150-cli --lang en --json --emulate version >/dev/full)");
    EXPECT_EQ(full.exitCode, 4);
    EXPECT_NE(full.err.find("Can't write the JSON document"), std::string::npos) << full.err;
}

}  // namespace
}  // namespace qbr::test
