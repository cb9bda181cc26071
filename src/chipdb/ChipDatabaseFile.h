// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipRecord.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qbr {

// Byte layout of the database file: a 100-byte header whose first little-endian
// 16-bit word is the record count, then 108-byte records. Everything little-endian.
inline constexpr size_t kChipNameFieldSize = 40;   // NUL included
inline constexpr size_t kMakerNameFieldSize = 20;  // NUL included

using RecordBytes = std::span<const uint8_t, ChipDatabase::kRecordSize>;
using MutableRecordBytes = std::span<uint8_t, ChipDatabase::kRecordSize>;

// Reads one record. A name ends at its first NUL or at the end of its field,
// whichever comes first; padding and reserved bytes are not read.
ChipRecord DecodeRecord(RecordBytes bytes);

// Writes one record over all 108 bytes; padding and reserved bytes become zero.
// Throws std::invalid_argument when a name does not fit its field together with
// its NUL (chip name over 39 bytes, maker name over 19) or contains a NUL.
void EncodeRecord(const ChipRecord& chip, MutableRecordBytes bytes);

// A whole database file: the header (count, then zeros) and every record.
// Throws std::invalid_argument for more than 2000 records or a name that does not fit.
std::vector<uint8_t> EncodeDatabase(const std::vector<ChipRecord>& chips);

}  // namespace qbr
