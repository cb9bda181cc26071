// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/CapacityText.h"

#include "chipdb/ChipType.h"

namespace qbr {

namespace {

// A 93-series chip counts in bytes when organised by 8 bits, otherwise in 16-bit words.
std::string Microwire(uint32_t capacity, uint8_t dataWidth) {
    if (dataWidth == 8) {
        if (capacity >= 1024) return std::to_string(capacity / 1024) + "K x8bit";
        return std::to_string(capacity) + " x8bit";
    }
    if (capacity >= 2048) return std::to_string(capacity / 2048) + "K x16bit";
    return std::to_string(capacity / 2) + " x16bit";
}

}  // namespace

std::string ShortCapacityText(const ChipRecord& chip) {
    if (chip.chipType == kEeprom93) return Microwire(chip.capacity, chip.dataWidth);
    if (chip.capacity >= 1024) return std::to_string(chip.capacity / 1024) + "KB";
    return std::to_string(chip.capacity) + "B";
}

}  // namespace qbr
