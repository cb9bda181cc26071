// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DatabaseCommands.h"

#include "base/MessageTable.h"
#include "chipdb/CapacityText.h"
#include "chipdb/ChipType.h"
#include "cli/JsonReport.h"
#include "core/ChipInfoText.h"

#include <algorithm>
#include <array>
#include <cstdio>
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

std::string HexByte(uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
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

}  // namespace

int ListChips(const ChipDatabase& database, const std::string& pattern, std::ostream* rowsOut, std::ostream& out,
              nlohmann::json& report) {
    std::vector<ChipRecord> found = database.SearchByPattern(UpperCaseLetters(pattern), AllTypes);
    std::vector<Row> rows;
    nlohmann::json records = nlohmann::json::array();
    for (const ChipRecord& chip : found) {
        rows.push_back({chip.chipName, ShortCapacityText(chip), chip.makerName, ChipTypeName(chip.chipType)});
        records.push_back(RecordJson(chip));
    }
    report["chips"] = records;
    const std::string count = MessageText(kMsgFoundPrefix) + std::to_string(found.size()) +
                              MessageText(kMsgFoundSuffix);
    if (found.empty()) KeepError(report, errors::kFailed, count);
    if (rowsOut) PrintAligned(rows, *rowsOut);
    out << count << '\n';
    return found.empty() ? kExitFailed : kExitOk;
}

void ShowChip(const ChipRecord& chip, std::ostream* out, nlohmann::json& report) {
    report["record"] = RecordJson(chip);
    if (!out) return;
    *out << "chipType: " << chip.chipType << " (" << ChipTypeName(chip.chipType) << ")\n"
         << "chipName: " << chip.chipName << '\n'
         << "makerName: " << chip.makerName << '\n'
         << "spareByte: " << int{chip.spareByte} << '\n'
         << "voltage: " << int{chip.voltage} << '\n'
         << "capacity: " << chip.capacity << '\n'
         << "pageMode: " << chip.pageMode << '\n'
         << "pageSize: " << chip.pageSize << '\n'
         << "manufacturerId: " << HexByte(chip.manufacturerId) << '\n'
         << "deviceId: " << HexByte(chip.deviceId) << '\n'
         << "modeParam: " << int{chip.modeParam} << '\n'
         << "dataWidth: " << int{chip.dataWidth} << '\n';
    PrintCapacityText(LongCapacityText(chip), *out);
}

}  // namespace qbr
