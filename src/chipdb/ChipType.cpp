// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipType.h"

#include <algorithm>
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
    const auto found = std::ranges::find(kTypeNames, name);
    return found == kTypeNames.end() ? AllTypes : static_cast<uint32_t>(found - kTypeNames.begin());
}

}  // namespace qbr
