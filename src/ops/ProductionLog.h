// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace qbr {

// One line of the production log: a chip and the command run on it.
struct ProductionRecord {
    std::time_t when = 0;
    std::string programmer;
    std::string chip;
    std::string command;
    std::optional<uint64_t> serial;
    std::string result;  // "ok", "failed", "skipped" (a number a crash left unused), ...
    std::string crc32;   // of the data written or read, as Crc32Text gives it; empty for none
    int64_t elapsedMs = 0;
};

// Appends the record as one CSV line (time in ISO 8601 with its offset from UTC,
// programmer, chip, command, serial, result, crc32, elapsed_ms), with the header
// line first when the file is new or empty. The line is on disk (fsync) before
// this returns true. Safe to call from several threads.
bool AppendProductionRecord(const std::string& path, const ProductionRecord& record);

}  // namespace qbr
