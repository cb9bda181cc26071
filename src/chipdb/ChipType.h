// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"

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

// The family of a chip, for the rules that depend on it; a code outside the four
// known ones is Unknown, which the programmer can't work with.
enum class ChipFamily : uint8_t { SpiFlash, Eeprom24, Eeprom25, Eeprom93, Unknown };

constexpr ChipFamily FamilyOf(const ChipRecord& chip) {
    return chip.chipType <= kEeprom93 ? static_cast<ChipFamily>(chip.chipType) : ChipFamily::Unknown;
}

// SPI flash has an erase command, and programming only turns 1 bits into 0 bits:
// it is written after an erase, or onto a range known to be blank.
constexpr bool IsErasable(ChipFamily family) {
    return family == ChipFamily::SpiFlash;
}
// Only SPI flash answers the ID request; the EEPROM families have no ID bytes.
constexpr bool AnswersIdRequest(ChipFamily family) {
    return family == ChipFamily::SpiFlash;
}
// The 93 series is organised in 8- or 16-bit words, set by the organisation byte.
constexpr bool HasOrganisationByte(ChipFamily family) {
    return family == ChipFamily::Eeprom93;
}
// An EEPROM whose supply is above 4.0 V takes the high-voltage setting; SPI flash never does.
constexpr bool HasHighVoltageRule(ChipFamily family) {
    return family != ChipFamily::SpiFlash;
}
// The family's code in the programmer's chip request: 1 to 4, 0 for none.
constexpr uint8_t ProtocolCode(ChipFamily family) {
    return family == ChipFamily::Unknown ? 0 : static_cast<uint8_t>(static_cast<uint8_t>(family) + 1);
}

}  // namespace qbr
