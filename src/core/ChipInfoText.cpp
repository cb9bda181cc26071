// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ChipInfoText.h"

#include "base/MessageTable.h"
#include "chipdb/ChipType.h"

namespace qbr {
namespace {

constexpr const char* kBreaks = "\r\n\r\n";

std::string Scaled(uint32_t value, uint32_t mega, uint32_t kilo, uint32_t unit, const char* suffix) {
    if (value >= mega) return std::to_string(value / mega) + "M" + suffix;
    if (value >= kilo) return std::to_string(value / kilo) + "K" + suffix;
    return std::to_string(value / unit) + suffix;
}

}  // namespace

std::string LongCapacityText(const ChipRecord& chip) {
    const uint32_t c = chip.capacity;
    if (HasOrganisationByte(FamilyOf(chip)) && chip.dataWidth == 8) {
        return Scaled(c, 0x100000, 1024, 1, " x8bit") + kBreaks;
    }
    if (HasOrganisationByte(FamilyOf(chip))) {
        return Scaled(c, 0x200000, 2048, 2, " x16bit") + kBreaks + MessageText(kMsgX16ByteOrderNote) + kBreaks;
    }
    return Scaled(c, 0x100000, 1024, 1, "B") + kBreaks;
}

std::string ChipInfoLogLine(const ChipRecord& chip) {
    return MessageText(kMsgChipInfoChip) + chip.chipName + ", " + MessageText(kMsgChipInfoMaker) + chip.makerName +
           ", " + LongCapacityText(chip);
}

}  // namespace qbr
