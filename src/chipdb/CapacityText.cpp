// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/CapacityText.h"

#include "base/MessageTable.h"
#include "chipdb/ChipType.h"

namespace qbr {

namespace {

constexpr const char* kBreaks = "\r\n\r\n";

// A 93-series chip organised by 16 bits counts in words; every other chip in bytes.
bool CountsInWords(const ChipRecord& chip) {
    return HasOrganisationByte(FamilyOf(chip)) && chip.dataWidth != 8;
}

std::string CapacityText(const ChipRecord& chip, bool megaUnits) {
    const uint32_t unit = CountsInWords(chip) ? 2 : 1;
    const char* suffix = !HasOrganisationByte(FamilyOf(chip)) ? "B" : unit == 2 ? " x16bit" : " x8bit";
    const uint32_t c = chip.capacity;
    if (megaUnits && c >= 0x100000 * unit) return std::to_string(c / (0x100000 * unit)) + "M" + suffix;
    if (c >= 1024 * unit) return std::to_string(c / (1024 * unit)) + "K" + suffix;
    return std::to_string(c / unit) + suffix;
}

}  // namespace

std::string ShortCapacityText(const ChipRecord& chip) {
    return CapacityText(chip, false);
}

std::string LongCapacityText(const ChipRecord& chip) {
    const std::string note = CountsInWords(chip) ? MessageText(kMsgX16ByteOrderNote) + kBreaks : "";
    return CapacityText(chip, true) + kBreaks + note;
}

}  // namespace qbr
