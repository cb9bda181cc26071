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
        TestChip("W25X05").Id(0xEF, 0x10),
        TestChip("W25Q16").Capacity(0x200000).Id(0xEF, 0x14),
        TestChip("W25Q16B").Capacity(0x200000).Id(0xEF, 0x14),
        TestChip("HUGE256").Capacity(0x2000000).Id(0xC2, 0x19),
        TestChip("24C01").Type(kEeprom24).Capacity(128).Pages(0, 16),
        TestChip("24C02").Type(kEeprom24).Capacity(256).Pages(1, 8),
        TestChip("ODD1000").Type(kEeprom24).Capacity(1000).Pages(1, 8),
        TestChip("TINY64").Type(kEeprom24).Capacity(64).Pages(1, 8),
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
