// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/ChipTransfers.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qbr {

// What most likely made a chip differ from its image, from the bits that differ:
// - NotProgrammed: only bits that are 1 in the chip where the image has 0 (the
//   write failed, the block is protected, or the page size is wrong);
// - NotErased: only bits that are 0 in the chip where the image has 1;
// - DataDiffers: both.
enum class DiffCause { None, NotProgrammed, NotErased, DataDiffers };

// Differences closer than this many bytes are reported as one range: a damaged
// block reads as one range, not as many cut by bytes that happen to match.
constexpr uint32_t kRangeMergeGap = 16;

// How two images of the same chip addresses differ.
struct ImageDiff {
    uint64_t differingBytes = 0;
    // Where the bytes differ, in address order: runs of differing bytes, merged
    // where fewer than kRangeMergeGap equal bytes part them.
    std::vector<ChipRange> ranges;
    uint64_t bitsNotProgrammed = 0;  // 1 in `actual`, 0 in `expected`
    uint64_t bitsNotErased = 0;      // 0 in `actual`, 1 in `expected`

    bool Same() const { return differingBytes == 0; }
    DiffCause Cause() const;
};

// Compares `actual` with `expected` (the same length), both starting at chip
// address `address`.
ImageDiff CompareImages(std::span<const uint8_t> expected, std::span<const uint8_t> actual, uint32_t address);

// The chip against the buffer over `range`: reads the range whole (no early stop)
// and compares it with the buffer's bytes at the same addresses. Its outcome and
// words are those of the (last) read.
struct ChipDiff : CommandResult {
    ImageDiff diff;
    std::vector<uint8_t> chipData;  // the range as read
};
ChipDiff DiffChip(ProgrammerCore& core, const ChipRecord& chip, ChipRange range);

// The same over each of `runs` in turn (in address order, as written), as one diff
// of the runs' bytes, whose data is not kept (chipData stays empty); stops at the
// first read that fails. The end of each read but the last is shown as the next begins.
ChipDiff DiffChipRuns(ProgrammerCore& core, const ChipRecord& chip, std::span<const ChipRange> runs);

}  // namespace qbr
