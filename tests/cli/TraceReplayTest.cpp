// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"
#include "cli/CliRunner.h"
#include "emulator/TraceReplay.h"
#include "link/TransferTrace.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace qbr::test {
namespace {

namespace fs = std::filesystem;

const fs::path kTraces = QBR_SOURCE_DIR "/tests/traces";

std::string ShellWord(const std::string& word) {
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The recorded command line without what chose the programmer or the trace, and
// without the database (the runner passes the built one).
std::string ReplayArguments(const std::vector<std::string>& recorded) {
    static const std::set<std::string> kWithValue = {"--trace",         "--replay",        "--db",
                                                     "--emulate-image", "--emulate-fault", "--emulate-speed"};
    std::string arguments;
    for (size_t i = 0; i < recorded.size(); ++i) {
        const std::string name = recorded[i].substr(0, recorded[i].find('='));
        if (name == "--emulate") continue;
        if (kWithValue.count(name) != 0) {
            if (name == recorded[i]) ++i;
            continue;
        }
        arguments += ' ' + ShellWord(recorded[i]);
    }
    return arguments;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// A working directory holding copies of the recorded traces and the files beside
// them (the images their commands read); the tool runs inside it.
class TraceReplay : public ::testing::Test {
protected:
    TraceReplay() {
        for (const auto& entry : fs::directory_iterator(kTraces)) fs::copy(entry.path(), work_.path());
    }

    CliResult Run(const std::string& arguments, const fs::path& directory = {}) const {
        const fs::path& in = directory.empty() ? work_.path() : directory;
        return RunCliProcess(arguments, "cd " + ShellWord(in.string()) + " &&");
    }
    // Plays the trace back with the arguments it was recorded with, in `directory`
    // (by default the working directory), in `language`.
    CliResult Replay(const std::string& trace, const fs::path& directory = {},
                     const std::string& language = "en") const {
        const fs::path& in = directory.empty() ? work_.path() : directory;
        const nlohmann::json header = nlohmann::json::parse(Lines(ReadFileText(in / trace)).front());
        return Run("--lang " + language + " --replay " + ShellWord(trace) + ReplayArguments(header.at("arguments")),
                   in);
    }
    TempDir work_;
};

// Every trace in tests/traces plays back, and so does one recorded now (data longer
// than a reply is kept by its ends and CRC-32 only; the verify must still replay).
TEST_F(TraceReplay, EveryRecordedTracePlaysBack) {
    std::string image(256, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 37 + 11);
    WriteFileText(work_.file("pattern.bin"), image);
    const CliResult recorded = Run("-q --emulate=AT24C02 --trace now.jsonl auto pattern.bin");
    ASSERT_EQ(recorded.exitCode, 0) << recorded.err;
    int traces = 0;
    for (const auto& entry : fs::directory_iterator(work_.path())) {
        if (entry.path().extension() != ".jsonl") continue;
        ++traces;
        const CliResult run = Replay(entry.path().filename().string());
        EXPECT_EQ(run.exitCode, 0) << entry.path().filename() << '\n' << run.err;
    }
    EXPECT_GE(traces, 5);
}

// The trace's lines as JSON objects (the header first); each case edits them.
using TraceLines = std::vector<nlohmann::json>;
using TraceEdit = std::function<void(TraceLines& lines)>;

struct Departure {
    const char* trace;
    TraceEdit edit;
    std::string message;
    const char* language = "en";
};

TraceEdit SetField(size_t line, const char* key, const nlohmann::json& value) {
    return [=](TraceLines& lines) { lines.at(line)[key] = value; };
}

// Byte `offset` of the line's whole data becomes `hex`.
TraceEdit SetDataByte(size_t line, size_t offset, const char* hex) {
    return [=](TraceLines& lines) {
        std::string data = lines.at(line).at("data");
        data.replace(2 * offset, 2, hex);
        lines[line]["data"] = data;
    };
}

// The recorded write is one byte longer: a zero byte appended.
TraceEdit LengthenWrite(size_t line) {
    return [=](TraceLines& lines) {
        nlohmann::json& transfer = lines.at(line);
        const std::string data = transfer.at("data").get<std::string>() + "00";
        transfer["data"] = data;
        transfer["length"] = data.size() / 2;
        transfer["moved"] = data.size() / 2;
    };
}

// Every way the host may depart from the trace fails the run and is named: a
// request byte, the length, endpoint or direction of a transfer, transfers the
// trace lacks or holds beyond the host's, and a read the trace can't give back
// whole (its data is known only by its ends and CRC-32).
// read-at24c02: line 1 writes the 15-byte read request, line 2 reads its reply,
// line 3 the chip's 256 bytes. The Chinese rows fill the same values into their own order.
TEST_F(TraceReplay, ADepartureFailsTheRunAndIsNamed) {
    const std::string request = "Replay failed at transfer 1, line 2 (out): ";
    const std::string reply = "Replay failed at transfer 2, line 3 (in): ";
    const Departure departures[] = {
        {"read-at24c02.jsonl", SetDataByte(1, 0, "10"),
         request + "at offset 0 the trace has 0x10, the host sent 0x11."},
        {"read-at24c02.jsonl", SetDataByte(1, 14, "01"),
         request + "at offset 14 the trace has 0x01, the host sent 0x00."},
        {"read-at24c02.jsonl", LengthenWrite(1),
         request + "the host asked for a write of 15 bytes to 0x01, the trace has a write of 16 bytes to 0x01."},
        {"read-at24c02.jsonl", SetField(1, "endpoint", "0x02"),
         request + "the host asked for a write of 15 bytes to 0x01, the trace has a write of 15 bytes to 0x02."},
        {"read-at24c02.jsonl", SetField(1, "dir", "in"),
         request + "the host asked for a write of 15 bytes to 0x01, the trace has a read of 15 bytes from 0x01."},
        {"read-at24c02.jsonl", SetField(2, "length", 65),
         reply + "the host asked for a read of 64 bytes from 0x81, the trace has a read of 65 bytes from 0x81."},
        {"read-at24c02.jsonl", SetField(2, "endpoint", "0x82"),
         reply + "the host asked for a read of 64 bytes from 0x81, the trace has a read of 64 bytes from 0x82."},
        {"read-at24c02.jsonl", [](TraceLines& lines) { lines.push_back(lines.back()); },
         "Replay failed: the host stopped before transfer 4, line 5, leaving 1 of 4 recorded transfers unplayed."},
        {"read-at24c02.jsonl", [](TraceLines& lines) { lines.pop_back(); },
         "Replay failed at transfer 3, line 4 (in): the host asked for a read of 256 bytes from 0x81 after the "
         "trace's last transfer."},
        {"read-at24c02.jsonl", SetField(3, "crc32", "0badc0de"),
         "Replay failed at transfer 3, line 4 (in): the trace keeps only the ends and the CRC-32 of these 256 bytes, "
         "and nothing of this replay rebuilds bytes with that CRC-32; the read can't be played back."},
        {"read-at24c02.jsonl", SetDataByte(1, 0, "10"),
         "回放失败于第 1 次传输, 第 2 行 (out): 偏移 0 处跟踪文件中是 0x10, 主机发送的是 0x11。", "zh"},
        {"read-at24c02.jsonl", LengthenWrite(1),
         "主机要求写入 15 字节 (端点 0x01), 跟踪文件中是写入 16 字节 (端点 0x01)。", "zh"},
        {"read-at24c02.jsonl", [](TraceLines& lines) { lines.push_back(lines.back()); },
         "回放失败: 主机在第 4 次传输, 第 5 行之前停止, 有 1 次 (共 4 次) 记录的传输未回放。", "zh"},
        {"read-at24c02.jsonl", [](TraceLines& lines) { lines.pop_back(); },
         "在跟踪文件的最后一次传输之后, 主机还要求读取 256 字节 (端点 0x81)。", "zh"},
    };
    // Each case in a directory of its own, all at once: a departing write waits
    // out the link's retries.
    std::vector<std::future<CliResult>> runs;
    for (size_t i = 0; i < std::size(departures); ++i) {
        const fs::path directory = work_.file(std::to_string(i));
        fs::create_directory(directory);
        TraceLines lines;
        for (const std::string& line : Lines(ReadFileText(kTraces / departures[i].trace))) {
            lines.push_back(nlohmann::json::parse(line));
        }
        departures[i].edit(lines);
        std::string text;
        for (const nlohmann::json& line : lines) text += line.dump() + '\n';
        WriteFileText(directory / departures[i].trace, text);
        runs.push_back(std::async(std::launch::async, [this, &departures, i, directory] {
            return Replay(departures[i].trace, directory, departures[i].language);
        }));
    }
    for (size_t i = 0; i < std::size(departures); ++i) {
        SCOPED_TRACE(departures[i].message);
        const CliResult run = runs[i].get();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(departures[i].message), std::string::npos) << run.err;
    }
}

// Zeros with a pattern from `from` to `to`.
std::vector<uint8_t> Pattern(size_t from, size_t to) {
    std::vector<uint8_t> data(4096, 0x00);
    for (size_t i = from; i < to; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    return data;
}

// Long data is known by its first and last 64 bytes and its CRC-32. A write that
// differs in any byte fails the replay; a read is played back only when its middle
// is a run of the byte at either end (or written data: EveryRecordedTracePlaysBack),
// and fails rather than be made up.
TEST(TraceReplayLongData, ComparedAndRebuiltByItsEdgesAndItsCrc) {
    // The verdicts are read in English, whatever an earlier run in this process chose.
    SetLanguageForSession(kLanguageEnglish);
    const std::string crc = "the data's CRC-32 is ", unplayable = "the read can't be played back";
    const struct {
        bool in;
        std::vector<uint8_t> recorded;
        int flip;             // the byte the host writes otherwise; -1: none
        std::string verdict;  // a part of it; empty: the replay goes on
    } cases[] = {
        {false, Pattern(0, 4096), -1, ""},
        {false, Pattern(0, 4096), 63, "at offset 63 the trace has 0xbc, the host sent 0xbd."},
        {false, Pattern(0, 4096), 64, crc},
        {false, Pattern(0, 4096), 4031, crc},
        {false, Pattern(0, 4096), 4032, "at offset 4032 the trace has 0x43, the host sent 0x42."},
        {true, Pattern(0, 0), -1, ""},
        {true, Pattern(0, 64), -1, ""},       // the middle as the tail begins
        {true, Pattern(4032, 4096), -1, ""},  // the middle as the head ends
        {true, Pattern(0, 65), -1, unplayable},
        {true, Pattern(4031, 4096), -1, unplayable},
    };
    const TempDir dir;
    const std::string path = dir.file("t.jsonl").string();
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.in << " " << c.flip << " " << c.verdict);
        std::string error;
        if (const auto trace = TransferTrace::Create(path, error)) {
            trace->WriteHeader({});
            trace->Record(c.in, c.in ? 0x81 : 0x01, 4096, 4096, TraceStatus::Ok, c.recorded.data());
        }
        const auto replay = qbr::TraceReplay::Load(path, error);
        ASSERT_TRUE(replay) << error;
        UsbDeviceLibrary::Handle handle = 0;
        ASSERT_EQ(replay->OpenDevice(0, handle), 0);
        std::vector<uint8_t> bytes = c.in ? std::vector<uint8_t>(4096, 0x5A) : c.recorded;
        if (c.flip >= 0) bytes[c.flip] ^= 0x01;
        uint32_t moved = 0;
        const int result = c.in ? replay->Read(handle, bytes.data(), 4096, moved, 100)
                                : replay->Write(handle, bytes.data(), 4096, moved, 100);
        EXPECT_EQ(result == 0 && moved == 4096, c.verdict.empty());
        EXPECT_TRUE(!c.in || !c.verdict.empty() || bytes == c.recorded);
        EXPECT_EQ(replay->Verdict().empty(), c.verdict.empty());
        EXPECT_NE(replay->Verdict().find(c.verdict), std::string::npos) << replay->Verdict();
    }
}

}  // namespace
}  // namespace qbr::test
