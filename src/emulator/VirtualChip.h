// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace qbr {

// The chip in the emulated programmer's socket, made from its database record:
// its contents and how it answers identification, programming and erasing.
// SPI flash is programmed by clearing bits (new = old AND data) and is erased to
// 0xFF; the EEPROM families store bytes as written. A new chip is erased.
class VirtualChip {
public:
    explicit VirtualChip(const ChipRecord& record);

    const ChipRecord& Record() const { return record_; }
    // The two identification bytes: the record's for SPI flash; the EEPROM
    // families have none and answer 0xFF 0xFF.
    std::array<uint8_t, 2> IdBytes() const;

    // Bytes from `address` on; bytes past the chip's end read 0xFF.
    void Read(uint64_t address, std::span<uint8_t> out) const;
    // Programs bytes from `address` on by the family's rule; bytes past the end are dropped.
    void Program(uint64_t address, std::span<const uint8_t> data);
    void Erase();

    std::span<const uint8_t> Contents() const { return contents_; }
    std::span<uint8_t> Contents() { return contents_; }

private:
    ChipRecord record_;
    std::vector<uint8_t> contents_;
};

}  // namespace qbr
