// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/ChipDiff.h"

#include "base/LargeBytes.h"

#include <bit>

namespace qbr {

DiffCause ImageDiff::Cause() const {
    if (Same()) return DiffCause::None;
    if (bitsNotErased == 0) return DiffCause::NotProgrammed;
    if (bitsNotProgrammed == 0) return DiffCause::NotErased;
    return DiffCause::DataDiffers;
}

ImageDiff CompareImages(std::span<const uint8_t> expected, std::span<const uint8_t> actual, uint32_t address) {
    ImageDiff diff;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == actual[i]) continue;
        ++diff.differingBytes;
        diff.bitsNotProgrammed += std::popcount(static_cast<uint8_t>(actual[i] & ~expected[i]));
        diff.bitsNotErased += std::popcount(static_cast<uint8_t>(expected[i] & ~actual[i]));
        const auto at = static_cast<uint32_t>(address + i);
        if (!diff.ranges.empty() && at - diff.ranges.back().End() < kRangeMergeGap) {
            diff.ranges.back().length = at + 1 - diff.ranges.back().offset;
        } else {
            diff.ranges.push_back({at, 1});
        }
    }
    return diff;
}

ChipDiff DiffChip(ProgrammerCore& core, const ChipRecord& chip, ChipRange range) {
    ChipDiff result;
    AssignLarge(result.chipData, range.length, 0x00);
    static_cast<CommandResult&>(result) = ReadChipRange(core, chip, range, result.chipData.data(), Caller::User);
    if (result.outcome != Outcome::Ok) return result;
    const auto expected = std::span(core.Buffer().bytes).subspan(range.offset, range.length);
    result.diff = CompareImages(expected, result.chipData, range.offset);
    return result;
}

ChipDiff DiffChipRuns(ProgrammerCore& core, const ChipRecord& chip, std::span<const ChipRange> runs) {
    ChipDiff result;
    result.outcome = Outcome::Ok;
    for (const ChipRange& run : runs) {
        core.Show(result);
        ChipDiff part = DiffChip(core, chip, run);
        static_cast<CommandResult&>(result) = part;
        if (part.outcome != Outcome::Ok) break;
        ImageDiff& diff = result.diff;
        diff.differingBytes += part.diff.differingBytes;
        diff.bitsNotProgrammed += part.diff.bitsNotProgrammed;
        diff.bitsNotErased += part.diff.bitsNotErased;
        diff.ranges.insert(diff.ranges.end(), part.diff.ranges.begin(), part.diff.ranges.end());
    }
    return result;
}

}  // namespace qbr
