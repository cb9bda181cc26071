// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/ChangeMarks.h"

#include <algorithm>
#include <cstddef>

namespace qbr {
namespace {

constexpr uint8_t BitOf(uint32_t index) {
    return static_cast<uint8_t>(1u << (index & 7));
}

// Number of bytes of the buffer that have a mark slot, whatever the arrays hold.
uint64_t MarkedSpan(const DataBuffer& buffer) {
    return std::min<uint64_t>(buffer.bytes.size(), uint64_t{buffer.changeMarks.size()} * 8);
}

}  // namespace

void SetMark(DataBuffer& buffer, uint32_t index) {
    if (index < MarkedSpan(buffer)) buffer.changeMarks[index >> 3] |= BitOf(index);
}

bool IsMarked(const DataBuffer& buffer, uint32_t index) {
    return index < MarkedSpan(buffer) && (buffer.changeMarks[index >> 3] & BitOf(index)) != 0;
}

void MarkRange(DataBuffer& buffer, uint32_t start, uint32_t count) {
    const uint64_t end = std::min<uint64_t>(uint64_t{start} + count, MarkedSpan(buffer));
    for (uint64_t i = start; i < end; ++i) buffer.changeMarks[i >> 3] |= BitOf(static_cast<uint32_t>(i));
}

void ClearMarks(DataBuffer& buffer, uint32_t length) {
    const size_t markBytes = std::min<size_t>(length / 8, buffer.changeMarks.size());
    std::fill_n(buffer.changeMarks.begin(), markBytes, uint8_t{0});
}

}  // namespace qbr
