// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipCsv.h"

#include "chipdb/ChipDatabaseFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>

namespace qbr {

namespace {

constexpr size_t kFieldCount = 12;
using Fields = std::array<std::string_view, kFieldCount>;

Fields SplitFields(std::string_view line, size_t lineNumber) {
    Fields fields;
    size_t count = 0;
    for (size_t start = 0; start <= line.size(); ++count) {
        if (count == kFieldCount) {
            throw ChipCsvError(lineNumber, "more than " + std::to_string(kFieldCount) + " fields");
        }
        const size_t comma = std::min(line.find(',', start), line.size());
        fields[count] = line.substr(start, comma - start);
        start = comma + 1;
    }
    if (count != kFieldCount) {
        throw ChipCsvError(lineNumber, std::to_string(count) + " fields instead of " + std::to_string(kFieldCount));
    }
    return fields;
}

template <typename T>
T ParseNumber(std::string_view text, int base, const char* field, size_t lineNumber) {
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value > std::numeric_limits<T>::max()) {
        throw ChipCsvError(lineNumber, std::string(field) + " \"" + std::string(text) +
                                           "\" is not a number from 0 to " +
                                           std::to_string(std::numeric_limits<T>::max()));
    }
    return static_cast<T>(value);
}

uint8_t ParseHexByte(std::string_view text, const char* field, size_t lineNumber) {
    if (text.size() != 2) {
        throw ChipCsvError(lineNumber, std::string(field) + " \"" + std::string(text) + "\" is not two hex digits");
    }
    return ParseNumber<uint8_t>(text, 16, field, lineNumber);
}

std::string ParseName(std::string_view text, size_t fieldSize, const char* field, size_t lineNumber) {
    if (text.size() >= fieldSize) {
        throw ChipCsvError(lineNumber, std::string(field) + " \"" + std::string(text) + "\" is longer than " +
                                           std::to_string(fieldSize - 1) + " bytes");
    }
    if (text.find('\0') != std::string_view::npos) {
        throw ChipCsvError(lineNumber, std::string(field) + " contains a NUL byte");
    }
    return std::string(text);
}

ChipRecord ParseRow(std::string_view line, size_t lineNumber) {
    Fields f = SplitFields(line, lineNumber);
    ChipRecord chip;
    chip.chipType = ParseNumber<uint32_t>(f[0], 10, "chipType", lineNumber);
    chip.chipName = ParseName(f[1], kChipNameFieldSize, "chipName", lineNumber);
    chip.makerName = ParseName(f[2], kMakerNameFieldSize, "makerName", lineNumber);
    chip.spareByte = ParseNumber<uint8_t>(f[3], 10, "spareByte", lineNumber);
    chip.voltage = ParseNumber<uint8_t>(f[4], 10, "voltage", lineNumber);
    chip.capacity = ParseNumber<uint32_t>(f[5], 10, "capacity", lineNumber);
    chip.pageMode = ParseNumber<uint32_t>(f[6], 10, "pageMode", lineNumber);
    chip.pageSize = ParseNumber<uint16_t>(f[7], 10, "pageSize", lineNumber);
    chip.manufacturerId = ParseHexByte(f[8], "manufacturerId", lineNumber);
    chip.deviceId = ParseHexByte(f[9], "deviceId", lineNumber);
    chip.modeParam = ParseNumber<uint8_t>(f[10], 10, "modeParam", lineNumber);
    chip.dataWidth = ParseNumber<uint8_t>(f[11], 10, "dataWidth", lineNumber);
    return chip;
}

std::string Hex(uint8_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

const std::string& CheckedName(const std::string& name, size_t lineNumber) {
    if (name.find_first_of(",\r\n") != std::string::npos) {
        throw ChipCsvError(lineNumber, "name \"" + name + "\" holds a character that a field cannot carry");
    }
    return name;
}

std::string FormatRow(const ChipRecord& c, size_t lineNumber) {
    return std::to_string(c.chipType) + ',' + CheckedName(c.chipName, lineNumber) + ',' +
           CheckedName(c.makerName, lineNumber) + ',' + std::to_string(c.spareByte) + ',' + std::to_string(c.voltage) +
           ',' + std::to_string(c.capacity) + ',' + std::to_string(c.pageMode) + ',' + std::to_string(c.pageSize) +
           ',' + Hex(c.manufacturerId) + ',' + Hex(c.deviceId) + ',' + std::to_string(c.modeParam) + ',' +
           std::to_string(c.dataWidth) + '\n';
}

}  // namespace

ChipCsvError::ChipCsvError(size_t line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message) {}

std::vector<ChipRecord> ParseChipCsv(std::string_view text) {
    std::vector<ChipRecord> chips;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        ++lineNumber;
        size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNumber == 1) {
            if (line != kChipCsvHeader) {
                throw ChipCsvError(1, "the header line must read: " + std::string(kChipCsvHeader));
            }
            continue;
        }
        if (line.empty()) throw ChipCsvError(lineNumber, "empty line");
        chips.push_back(ParseRow(line, lineNumber));
    }
    if (lineNumber == 0) throw ChipCsvError(1, "no header line");
    return chips;
}

std::string FormatChipCsv(const std::vector<ChipRecord>& chips) {
    std::string text(kChipCsvHeader);
    text += '\n';
    for (size_t i = 0; i < chips.size(); ++i) text += FormatRow(chips[i], i + 2);
    return text;
}

}  // namespace qbr
