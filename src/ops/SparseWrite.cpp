// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/SparseWrite.h"

#include <algorithm>

namespace qbr {

namespace {

bool IsErased(std::span<const uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t byte) { return byte == 0xFF; });
}

}  // namespace

std::vector<ChipRange> DataRuns(std::span<const uint8_t> image, uint32_t pageSize, uint32_t mergeGap) {
    pageSize = std::max<uint32_t>(pageSize, 1);
    const auto size = static_cast<uint32_t>(image.size());
    std::vector<ChipRange> runs;
    for (uint32_t page = 0; page < size; page += pageSize) {
        const uint32_t length = std::min(pageSize, size - page);
        if (IsErased(image.subspan(page, length))) continue;
        if (!runs.empty() && page - runs.back().End() < mergeGap) {
            runs.back().length = page + length - runs.back().offset;
        } else {
            runs.push_back({page, length});
        }
    }
    return runs;
}

std::optional<uint32_t> FirstNotErased(std::span<const uint8_t> data, uint32_t offset) {
    const auto found = std::find_if(data.begin(), data.end(), [](uint8_t byte) { return byte != 0xFF; });
    if (found == data.end()) return std::nullopt;
    return offset + static_cast<uint32_t>(found - data.begin());
}

}  // namespace qbr
