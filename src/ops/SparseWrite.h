// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/ChipTransfers.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qbr {

// What one more write request costs, in bytes on the wire: its request, reply and
// end of transfer, and the host's pause before it sees that the transfer before
// has ended, take about as long as 4 KiB of data at full speed.
constexpr uint32_t kSeparateWriteCost = 4096;

// The runs of an image that an erased SPI flash still needs: its pages (aligned
// to `pageSize`) that hold any byte other than 0xFF, as runs of whole pages cut at
// the image's end. Two runs whose gap is shorter than `mergeGap` bytes become one,
// since writing the gap's 0xFF bytes costs less than a request of its own.
std::vector<ChipRange> DataRuns(std::span<const uint8_t> image, uint32_t pageSize,
                                uint32_t mergeGap = kSeparateWriteCost);

// The first address of `data` (which starts at chip address `offset`) that holds
// a byte other than 0xFF; none when all are erased.
std::optional<uint32_t> FirstNotErased(std::span<const uint8_t> data, uint32_t offset = 0);

}  // namespace qbr
