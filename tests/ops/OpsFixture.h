// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipType.h"
#include "support/EmulatedCore.h"

#include <string>
#include <vector>

namespace qbr::test {

// Two records share EF 14 (the first one counts); the EEPROMs carry FF FF like
// chips without an identification.
inline const std::vector<ChipRecord>& OpsChips() {
    static const std::vector<ChipRecord> chips = {
        EmulatedChip(kSpiFlash, "W25X05", 0x10000, 1, 256, 0xEF, 0x10),
        EmulatedChip(kSpiFlash, "W25Q16", 0x200000, 1, 256, 0xEF, 0x14),
        EmulatedChip(kSpiFlash, "W25Q16B", 0x200000, 1, 256, 0xEF, 0x14),
        EmulatedChip(kSpiFlash, "HUGE256", 0x2000000, 1, 256, 0xC2, 0x19),
        EmulatedChip(kEeprom24, "24C01", 128, 0, 16, 0xFF, 0xFF),
        EmulatedChip(kEeprom24, "24C02", 256, 1, 8, 0xFF, 0xFF),
        EmulatedChip(kEeprom24, "ODD1000", 1000, 1, 8, 0xFF, 0xFF),
        EmulatedChip(kEeprom24, "TINY64", 64, 1, 8, 0xFF, 0xFF),
    };
    return chips;
}

inline size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The ops chips, W25X05 selected; each test links the programmer it needs.
class OpsTest : public EmulatedCoreTest {
protected:
    void SetUp() override { Start(OpsChips(), "W25X05"); }
};

}  // namespace qbr::test
