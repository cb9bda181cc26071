// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/SparseWrite.h"

#include "chipdb/ChipType.h"
#include "ops/RepeatedRead.h"

#include <algorithm>

namespace qbr {

namespace {

std::vector<ChipRange> RunsOf(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, SkipBlank skip) {
    if (skip == SkipBlank::Off) return {range};
    std::vector<ChipRange> runs = DataRuns(std::span(core.Buffer().bytes).subspan(range.offset, range.length),
                                           chip.pageSize);
    for (ChipRange& run : runs) run.offset += range.offset;
    return runs;
}

}  // namespace

BlankCheck CheckBlank(ProgrammerCore& core, const ChipRecord& chip, ChipRange range) {
    std::vector<uint8_t> data(range.length);
    BlankCheck result;
    static_cast<CommandResult&>(result) = ReadChipRange(core, chip, range, data.data(), Caller::User);
    if (result.outcome != Outcome::Ok) return result;
    const auto dirty = std::find_if(data.begin(), data.end(), [](uint8_t byte) { return byte != 0xFF; });
    if (dirty == data.end()) return result;
    result.notBlank = Mismatch{range.offset + static_cast<uint32_t>(dirty - data.begin()), 0xFF, *dirty};
    result.dataBytes = static_cast<uint32_t>(
        std::count_if(dirty, data.end(), [](uint8_t byte) { return byte != 0xFF; }));
    return result;
}

std::vector<ChipRange> DataRuns(std::span<const uint8_t> image, uint32_t pageSize, uint32_t mergeGap) {
    pageSize = std::max<uint32_t>(pageSize, 1);
    const auto size = static_cast<uint32_t>(image.size());
    std::vector<ChipRange> runs;
    for (uint32_t page = 0; page < size; page += pageSize) {
        const uint32_t length = std::min(pageSize, size - page);
        if (AllBytesAre(image.subspan(page, length), 0xFF)) continue;
        if (!runs.empty() && page - runs.back().End() < mergeGap) {
            runs.back().length = page + length - runs.back().offset;
        } else {
            runs.push_back({page, length});
        }
    }
    return runs;
}

RangeWrite WriteRange(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, SkipBlank skip, bool verify) {
    RangeWrite result;
    if (skip == SkipBlank::Check || (IsErasable(FamilyOf(chip)) && range != WholeChip(chip))) {
        const BlankCheck blank = CheckBlank(core, chip, range);
        static_cast<CommandResult&>(result) = blank;
        result.notBlank = blank.notBlank;
        if (blank.notBlank) result.outcome = Outcome::Failed;
        if (result.outcome != Outcome::Ok) return result;
    }
    result.runs = RunsOf(core, chip, range, skip);
    core.Show(result);
    static_cast<CommandResult&>(result) = WriteChipRuns(core, chip, *result.runs, Caller::User);
    result.written = result.Ok();
    if (!result.written || !verify) return result;
    core.Show(result);
    ChipDiff readBack = DiffChipRuns(core, chip, *result.runs);
    static_cast<CommandResult&>(result) = readBack;
    if (readBack.outcome != Outcome::Ok) return result;
    result.readBack = std::move(readBack.diff);
    if (!result.readBack->Same()) result.outcome = Outcome::Failed;
    return result;
}

}  // namespace qbr
