// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace qbr {

// One chip description: the form in which a chip travels through the program.
// A plain value, copied whole.
struct ChipRecord {
    uint32_t chipType = 0;       // ChipType
    std::string chipName;        // at most 40 bytes when read from a database file
    std::string makerName;       // at most 20 bytes when read from a database file
    uint8_t spareByte = 0;       // carried along, never interpreted
    uint8_t voltage = 0;         // supply in tenths of a volt; above 40 selects the high-voltage setting
    uint32_t capacity = 0;       // bytes
    uint32_t pageMode = 0;       // 0: written byte by byte; otherwise page writing
    uint16_t pageSize = 0;       // bytes per page when pageMode is not 0
    uint8_t manufacturerId = 0;  // first ID byte answered by the chip
    uint8_t deviceId = 0;        // second ID byte answered by the chip
    uint8_t modeParam = 0;       // 93-series address parameter
    uint8_t dataWidth = 0;       // 8 or 16 (93-series organisation); other values count as 16

    bool operator==(const ChipRecord&) const = default;
};

}  // namespace qbr
