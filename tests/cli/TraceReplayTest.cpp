// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qbr::test::CliResult;
using qbr::test::ReadFileText;
using qbr::test::WriteFileText;

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

    CliResult Run(const std::string& arguments) const {
        return qbr::test::RunCli(arguments, "cd " + ShellWord(work_.path().string()) + " &&");
    }
    // Plays the trace back with the arguments it was recorded with.
    CliResult Replay(const std::string& trace) const {
        const nlohmann::json header = nlohmann::json::parse(Lines(ReadFileText(work_.file(trace))).front());
        return Run("--replay " + ShellWord(trace) + ReplayArguments(header.at("arguments")));
    }
    qbr::test::TempDir work_;
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

// Each case edits the trace's lines or the files beside it.
struct Departure {
    const char* trace;
    std::function<void(std::vector<std::string>& lines, const fs::path& work)> edit;
    std::string message;
};

// Changes byte 2 of the first request (line 2 of the file) from 0x02 to 0x03.
void ChangeRequestByte(std::vector<std::string>& lines, const fs::path&) {
    const size_t data = lines.at(1).find("\"data\":\"") + 8;
    ASSERT_EQ(lines[1].substr(data + 4, 2), "02");
    lines[1].replace(data + 4, 2, "03");
}

TEST_F(TraceReplay, ADepartureFailsTheRunAndIsNamed) {
    const Departure departures[] = {
        {"read-at24c02.jsonl", ChangeRequestByte,
         "Replay failed at transfer 1, line 2 (out): at offset 2 the trace has 0x03, the host sent 0x02."},
        {"read-at24c02.jsonl", [](auto& lines, auto&) { lines.push_back(lines.back()); },
         "Replay failed: the host stopped before transfer 4, line 5, leaving 1 of 4 recorded transfers unplayed."},
        {"read-at24c02.jsonl", [](auto& lines, auto&) { lines.pop_back(); },
         "Replay failed at transfer 3, line 4 (in): the host read 256 bytes after the trace's last transfer."},
        {"auto-a25l512.jsonl",
         [](auto&, const fs::path& work) {
             std::string image = ReadFileText(work / "a25l512-image.bin");
             image[1000] ^= 0x01;
             WriteFileText(work / "a25l512-image.bin", image);
         },
         "(out): the data's CRC-32 is "},
    };
    for (const Departure& departure : departures) {
        SCOPED_TRACE(departure.message);
        fs::copy(kTraces / departure.trace, work_.path(), fs::copy_options::overwrite_existing);
        fs::copy(kTraces / "a25l512-image.bin", work_.path(), fs::copy_options::overwrite_existing);
        std::vector<std::string> lines = Lines(ReadFileText(work_.file(departure.trace)));
        departure.edit(lines, work_.path());
        std::string text;
        for (const std::string& line : lines) text += line + '\n';
        WriteFileText(work_.file(departure.trace), text);
        const CliResult run = Replay(departure.trace);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(departure.message), std::string::npos) << run.err;
    }
}

}  // namespace
