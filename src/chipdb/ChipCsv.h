// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qbr {

// The text form of the chip database: a header line, then one line per record with
// the record's fields in file order, numbers in decimal except the two ID bytes,
// which are two hex digits each. Lines end in '\n'.
inline constexpr std::string_view kChipCsvHeader =
    "chipType,chipName,makerName,spareByte,voltage,capacity,pageMode,pageSize,"
    "manufacturerId,deviceId,modeParam,dataWidth";

// A malformed line; what() reads "line N: ...".
class ChipCsvError : public std::runtime_error {
public:
    ChipCsvError(size_t line, const std::string& message);
};

// Parses the whole text. Every record's names fit a database file. A missing final
// '\n' and a '\r' before a '\n' are accepted; empty lines are not. Throws ChipCsvError.
std::vector<ChipRecord> ParseChipCsv(std::string_view text);

// The text form of `chips`. Throws ChipCsvError (with the record's line) for a name
// that cannot be written as a field: one holding ',', '\r' or '\n'.
std::string FormatChipCsv(const std::vector<ChipRecord>& chips);

}  // namespace qbr
