// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace qbr {

// Chip family codes as stored in the database and sent to the programmer.
enum ChipType : uint32_t {
    kSpiFlash = 0,
    kEeprom24 = 1,
    kEeprom25 = 2,
    kEeprom93 = 3,
};

// Type selector value of the lookups that matches every family.
inline constexpr uint32_t AllTypes = 4;

// "SPI FLASH", "24 EEPROM", "25 EEPROM", "93 EEPROM"; "UNKNOWN" for any other value.
std::string ChipTypeName(uint32_t type);

// Inverse of ChipTypeName for the four known names (exact, case-sensitive); AllTypes otherwise.
uint32_t ChipTypeFromName(const std::string& name);

}  // namespace qbr
