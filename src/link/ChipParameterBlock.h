// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace qbr {

// The four chip parameter bytes at the end of the read and write requests.
struct ChipParameterBlock {
    uint8_t modeByte = 0;     // addressing and mode code of the chip family
    uint8_t orgByte = 0;      // 93-series organisation: 3 for 8-bit data, 1 otherwise
    uint8_t highVoltage = 0;  // 1 for a chip above 4.0 V
    uint8_t reserved = 0;

    bool operator==(const ChipParameterBlock&) const = default;
};

}  // namespace qbr
