// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a chip database file, then every kind of lookup over whatever loaded, with the
// ID bytes, type and limit from the header's unused bytes and the pattern from behind the records.
#include "FuzzSupport.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipType.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

using qbr::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qbr::ChipDatabase database;
    const bool loaded = database.LoadFromBytes(std::span<const uint8_t>(data, size));
    const size_t count = size >= 2 ? (data[0] | (size_t{data[1]} << 8)) : 0;
    Check(database.RecordCount() == (loaded ? count : 0));
    Check(count <= qbr::ChipDatabase::kMaxRecords || !loaded);
    for (const qbr::ChipRecord& chip : database.Records()) {
        Check(chip.chipName.size() <= qbr::kChipNameFieldSize && chip.makerName.size() <= qbr::kMakerNameFieldSize);
        Check(chip.chipName.find('\0') == std::string::npos);
        // A record whose names leave room for their NUL decodes back from its encoding.
        if (chip.chipName.size() < qbr::kChipNameFieldSize && chip.makerName.size() < qbr::kMakerNameFieldSize) {
            std::array<uint8_t, qbr::ChipDatabase::kRecordSize> bytes{};
            qbr::EncodeRecord(chip, bytes);
            Check(qbr::DecodeRecord(bytes) == chip);
        }
    }

    // Mostly the five real type selectors, now and then any value.
    const uint32_t type = size > 4 ? (data[4] < 0xF0 ? data[4] % 5u : data[4]) : qbr::AllTypes;
    const size_t limit = size > 5 ? data[5] : qbr::ChipDatabase::kMaxRecords;
    const size_t tail = loaded ? qbr::ChipDatabase::kHeaderSize + qbr::ChipDatabase::kRecordSize * count
                               : (size > 64 ? size - 64 : 0);
    const std::string_view pattern(reinterpret_cast<const char*>(data) + tail, size - tail);

    for (uint32_t t = 0; t <= qbr::AllTypes; ++t) {
        for (const std::string& maker : database.ListMakers(t)) Check(!database.ListByMaker(maker, t).empty());
    }
    database.ListMakers(type);
    if (size > 3) {
        if (auto chip = database.FindById(data[2], data[3]))
            Check(chip->manufacturerId == data[2] && chip->deviceId == data[3]);
    }
    const auto found = database.SearchByPattern(pattern, type, limit);
    Check(found.size() <= limit);
    for (const qbr::ChipRecord& chip : found) {
        Check(type == qbr::AllTypes || chip.chipType == type);
        // A pattern without '*' is one fragment: every match contains its first 49 characters.
        Check(pattern.find('*') != std::string_view::npos ||
              chip.chipName.find(pattern.substr(0, 49)) != std::string::npos);
    }
    if (auto chip = database.FindByName(pattern)) Check(chip->chipName == pattern);
    return 0;
}
