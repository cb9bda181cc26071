// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/MessageTable.h"
#include "base/NumberText.h"
#include "chipdb/CapacityText.h"
#include "chipdb/ChipType.h"
#include "cli/ChipJobs.h"
#include "cli/CliCommand.h"
#include "cli/CliSession.h"
#include "cli/CliText.h"
#include "cli/ExitCodes.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <vector>

namespace qbr {

namespace {

using Row = std::array<std::string, 4>;

void PrintAligned(const std::vector<Row>& rows, std::ostream& out) {
    std::array<size_t, 4> widths{};
    for (const Row& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    for (const Row& row : rows) {
        std::string line;
        for (size_t i = 0; i + 1 < row.size(); ++i) line += row[i] + std::string(widths[i] - row[i].size() + 2, ' ');
        out << line << row.back() << '\n';
    }
}

// The capacity text is made for a text box: pieces separated by blank CR LF lines.
void PrintCapacityText(const std::string& text, std::ostream& out) {
    const std::string separator = "\r\n\r\n";
    std::string label = "size: ";
    for (size_t start = 0; start < text.size();) {
        size_t end = std::min(text.find(separator, start), text.size());
        if (end > start) out << label << text.substr(start, end - start) << '\n';
        label = "";
        start = end + separator.size();
    }
}

// The record as the JSON document carries it, its fields named as chip shows them.
nlohmann::json RecordJson(const ChipRecord& chip) {
    return {{"chip_type", chip.chipType},
            {"type_name", ChipTypeName(chip.chipType)},
            {"chip_name", chip.chipName},
            {"maker_name", chip.makerName},
            {"spare_byte", chip.spareByte},
            {"voltage", chip.voltage},
            {"capacity", chip.capacity},
            {"size", ShortCapacityText(chip)},
            {"page_mode", chip.pageMode},
            {"page_size", chip.pageSize},
            {"manufacturer_id", chip.manufacturerId},
            {"device_id", chip.deviceId},
            {"mode_param", chip.modeParam},
            {"data_width", chip.dataWidth}};
}

// The records as "chips" in `report`, one aligned row per matching chip (name,
// capacity, maker, type) on the output stream unless it carries the document, and
// the count line among the results. kExitFailed when nothing matches.
int ListChips(const ChipDatabase& database, const std::string& pattern, RunReport& report) {
    std::vector<ChipRecord> found = database.SearchByPattern(UpperCaseLetters(pattern), AllTypes);
    std::vector<Row> rows;
    nlohmann::json records = nlohmann::json::array();
    for (const ChipRecord& chip : found) {
        rows.push_back({chip.chipName, ShortCapacityText(chip), chip.makerName, ChipTypeName(chip.chipType)});
        records.push_back(RecordJson(chip));
    }
    report.Set("chips", records);
    const std::string count = MessageText(kMsgFoundPrefix) + std::to_string(found.size()) +
                              MessageText(kMsgFoundSuffix);
    if (found.empty()) report.Keep(errors::kFailed, count);
    if (!report.Json()) PrintAligned(rows, report.Out());
    report.Results() << count << '\n';
    return found.empty() ? kExitFailed : kExitOk;
}

// The record as "record" in `report`, and every field of it and its capacity text
// on the output stream unless it carries the document.
void ShowChip(const ChipRecord& chip, RunReport& report) {
    report.Set("record", RecordJson(chip));
    if (report.Json()) return;
    std::ostream& out = report.Out();
    out << "chipType: " << chip.chipType << " (" << ChipTypeName(chip.chipType) << ")\n"
        << "chipName: " << chip.chipName << '\n'
        << "makerName: " << chip.makerName << '\n'
        << "spareByte: " << int{chip.spareByte} << '\n'
        << "voltage: " << int{chip.voltage} << '\n'
        << "capacity: " << chip.capacity << '\n'
        << "pageMode: " << chip.pageMode << '\n'
        << "pageSize: " << chip.pageSize << '\n'
        << "manufacturerId: " << HexNumber(chip.manufacturerId, 2).substr(2) << '\n'
        << "deviceId: " << HexNumber(chip.deviceId, 2).substr(2) << '\n'
        << "modeParam: " << int{chip.modeParam} << '\n'
        << "dataWidth: " << int{chip.dataWidth} << '\n';
    PrintCapacityText(LongCapacityText(chip), out);
}

class ChipsCommand final : public CliCommand {
public:
    std::string Name() const override { return "chips"; }
    void Add(CLI::App& app, CliOptions& options) override {
        AddSubcommand(app, options, Name(), "search the database (no pattern: every chip)", "PATTERN", false);
    }
    Needs Prepares() const override { return Needs::Database; }
    int Run(CliSession& session) const override {
        return ListChips(session.Core().Database(), session.Options().argument, session.Report());
    }
};

class ChipCommand final : public CliCommand {
public:
    std::string Name() const override { return "chip"; }
    void Add(CLI::App& app, CliOptions& options) override {
        AddSubcommand(app, options, Name(), "one chip's record and capacity", "NAME");
    }
    Needs Prepares() const override { return Needs::Database; }
    int Run(CliSession& session) const override {
        const std::optional<ChipRecord> chip = session.FindChip(session.Options().argument);
        if (!chip) return kExitUsage;
        ShowChip(*chip, session.Report());
        return kExitOk;
    }
};

// Needs the chip (its capacity) but no programmer.
class ChipSumCommand final : public CliCommand {
public:
    std::string Name() const override { return "chip-sum"; }
    void Add(CLI::App& app, CliOptions& options) override {
        AddSubcommand(app, options, Name(),
                      "an image's CheckSum as the window shows it (the whole chip, 0xFF where the file has no data) "
                      "and the file's own CRC-32 and SHA-256",
                      "FILE");
    }
    Needs Prepares() const override { return Needs::Database; }
    const char* UsageError(const CliOptions& options) const override {
        return options.argument == "-" ? CurrentCliWording().chipSumNeedsFile : nullptr;
    }
    int Run(CliSession& session) const override {
        session.Report().Set("file", session.Options().argument);
        if (!session.SelectChip()) return kExitUsage;
        session.Report().Set("chip", session.Core().SelectedChip().chipName);
        ChipJobs jobs(session.Core(), session.Options(), session.Report());
        return jobs.ChipSum();
    }
};

}  // namespace

std::unique_ptr<CliCommand> MakeChipsCommand() {
    return std::make_unique<ChipsCommand>();
}

std::unique_ptr<CliCommand> MakeChipCommand() {
    return std::make_unique<ChipCommand>();
}

std::unique_ptr<CliCommand> MakeChipSumCommand() {
    return std::make_unique<ChipSumCommand>();
}

}  // namespace qbr
