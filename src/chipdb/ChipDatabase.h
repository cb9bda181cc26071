// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qbr {

// The chip database: loaded once from its binary file, read-only afterwards.
// Every lookup scans the records in file order.
class ChipDatabase {
public:
    static constexpr size_t kHeaderSize = 100;
    static constexpr size_t kRecordSize = 108;
    static constexpr size_t kMaxRecords = 2000;

    // Loads the file; on any failure the database is left empty and false is returned.
    bool Load(const std::string& path);
    // Same rules as Load, over bytes already in memory.
    bool LoadFromBytes(std::span<const uint8_t> file);

    size_t RecordCount() const { return records_.size(); }
    const std::vector<ChipRecord>& Records() const { return records_; }

    // Distinct maker names of the records of `type` (or all with AllTypes), in order of first appearance.
    std::vector<std::string> ListMakers(uint32_t type) const;
    // First record whose chipName equals `name` exactly.
    std::optional<ChipRecord> FindByName(std::string_view name) const;
    // The chip a user named: by its name as typed, else in capitals.
    std::optional<ChipRecord> FindByTypedName(const std::string& name) const;
    // Every record of `maker` (and of `type` unless AllTypes), in database order.
    std::vector<ChipRecord> ListByMaker(std::string_view maker, uint32_t type) const;
    // First record with both ID bytes equal.
    std::optional<ChipRecord> FindById(uint8_t manufacturerId, uint8_t deviceId) const;
    // Records of `type` whose name matches the wildcard pattern, in database order,
    // at most `limit` of them. The pattern splits at '*' into non-empty fragments that
    // must occur in the name in order, without overlap, anywhere (not anchored); a
    // pattern without fragments matches every record of the type. Only the first 20
    // fragments and the first 49 characters of each take part; the rest is ignored.
    std::vector<ChipRecord> SearchByPattern(std::string_view pattern, uint32_t type, size_t limit = kMaxRecords) const;

private:
    std::vector<ChipRecord> records_;
};

// The letters a-z of `text` as capitals, everything else unchanged, as the search
// dialog treats a typed pattern.
std::string UpperCaseLetters(std::string text);

}  // namespace qbr
