// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a chip database file, then every kind of lookup over whatever loaded.
// The lookups' arguments come from the input too: the two ID bytes and the type
// from the header's unused bytes, the search pattern from the bytes behind the
// records (which the loader ignores).

#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipType.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

size_t DeclaredCount(std::span<const uint8_t> file) {
    return file.size() >= 2 ? (file[0] | (size_t{file[1]} << 8)) : 0;
}

// Decoding an encoded record gives it back, for every record whose names fit their
// fields with a NUL behind them.
void CheckRecordRoundTrip(const qbr::ChipRecord& chip) {
    if (chip.chipName.size() >= qbr::kChipNameFieldSize || chip.makerName.size() >= qbr::kMakerNameFieldSize) {
        return;
    }
    std::array<uint8_t, qbr::ChipDatabase::kRecordSize> bytes{};
    qbr::EncodeRecord(chip, bytes);
    Check(qbr::DecodeRecord(bytes) == chip);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    qbr::ChipDatabase database;
    const bool loaded = database.LoadFromBytes(file);

    const size_t count = DeclaredCount(file);
    if (loaded) {
        Check(count <= qbr::ChipDatabase::kMaxRecords);
        Check(database.RecordCount() == count);
    } else {
        Check(database.RecordCount() == 0);
    }
    for (const qbr::ChipRecord& chip : database.Records()) {
        Check(chip.chipName.size() <= qbr::kChipNameFieldSize);
        Check(chip.makerName.size() <= qbr::kMakerNameFieldSize);
        Check(chip.chipName.find('\0') == std::string::npos);
        CheckRecordRoundTrip(chip);
    }

    const uint8_t manufacturerId = size > 2 ? data[2] : 0;
    const uint8_t deviceId = size > 3 ? data[3] : 0;
    // Mostly the five real selectors, now and then any value.
    const uint32_t type = size > 4 ? (data[4] < 0xF0 ? data[4] % 5u : data[4]) : qbr::AllTypes;
    const size_t limit = size > 5 ? data[5] : qbr::ChipDatabase::kMaxRecords;

    const size_t recordsEnd = qbr::ChipDatabase::kHeaderSize + qbr::ChipDatabase::kRecordSize * database.RecordCount();
    const size_t tailStart = loaded ? recordsEnd : (size > 64 ? size - 64 : 0);
    const std::string_view pattern(reinterpret_cast<const char*>(data) + tailStart, size - tailStart);

    for (uint32_t t = 0; t <= qbr::AllTypes; ++t) {
        for (const std::string& maker : database.ListMakers(t)) {
            Check(!database.ListByMaker(maker, t).empty());
        }
    }
    database.ListMakers(type);

    if (auto chip = database.FindById(manufacturerId, deviceId)) {
        Check(chip->manufacturerId == manufacturerId && chip->deviceId == deviceId);
    }
    const auto found = database.SearchByPattern(pattern, type, limit);
    Check(found.size() <= limit);
    for (const qbr::ChipRecord& chip : found) {
        Check(type == qbr::AllTypes || chip.chipType == type);
    }
    // A pattern without '*' is one fragment: every match contains its first 49 characters.
    if (!pattern.empty() && pattern.find('*') == std::string_view::npos) {
        for (const qbr::ChipRecord& chip : found) {
            Check(chip.chipName.find(pattern.substr(0, 49)) != std::string::npos);
        }
    }
    if (auto chip = database.FindByName(pattern)) {
        Check(chip->chipName == pattern);
    }
    return 0;
}
