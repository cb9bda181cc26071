// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/ChipDiff.h"

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

// A range of the chip compared with an erased one.
// Its outcome and words are those of the read.
struct BlankCheck : CommandResult {
    // Its first byte other than 0xFF: the chip's byte where 0xFF is expected.
    std::optional<Mismatch> notBlank;
    uint32_t dataBytes = 0;  // how many of its bytes are not 0xFF
};

// Reads `range` of the chip and looks for bytes other than 0xFF.
BlankCheck CheckBlank(ProgrammerCore& core, const ChipRecord& chip, ChipRange range);

// Which pages of a range a write sends: all, or only those that hold data on a
// chip taken to be erased, or on one read first and found erased.
enum class SkipBlank { Off, Trust, Check };

// How a write of a range went; it stops at its first step that fails.
// Its outcome is Failed too for a range not blank or a read-back that differs; its
// words are those of its last step, the ends of the steps before were shown as it went on.
struct RangeWrite : CommandResult {
    // The range had to be erased and wasn't: its first other byte (as the chip's
    // byte where the buffer would need 0xFF). Nothing was written.
    std::optional<Mismatch> notBlank;
    std::optional<std::vector<ChipRange>> runs;  // the write requests, once the blank check let them go
    bool written = false;
    std::optional<ImageDiff> readBack;  // the runs read back and compared with the buffer
};

// Writes the buffer's bytes of `range` into the same chip addresses. SPI flash is
// only programmed where it is erased: a part of it (or any range with
// SkipBlank::Check) is read first and nothing is written unless all of it is 0xFF.
// With `verify` what was written is read back whole and compared.
RangeWrite WriteRange(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, SkipBlank skip, bool verify);

}  // namespace qbr
