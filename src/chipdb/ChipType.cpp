// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipType.h"

#include <array>
#include <string_view>

namespace qbr {

namespace {

constexpr std::array<std::string_view, 4> kTypeNames = {"SPI FLASH", "24 EEPROM", "25 EEPROM", "93 EEPROM"};

}  // namespace

std::string ChipTypeName(uint32_t type) {
    if (type < kTypeNames.size()) return std::string(kTypeNames[type]);
    return "UNKNOWN";
}

uint32_t ChipTypeFromName(const std::string& name) {
    for (uint32_t type = 0; type < kTypeNames.size(); ++type) {
        if (kTypeNames[type] == name) return type;
    }
    return AllTypes;
}

}  // namespace qbr
