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
    uint64_t i = start;
    // Single bits up to the first whole mark byte, whole bytes, then the tail bits.
    for (; i < end && (i & 7) != 0; ++i) SetMark(buffer, static_cast<uint32_t>(i));
    const uint64_t wholeBytes = (end - std::min(i, end)) / 8;
    if (wholeBytes > 0) {
        std::fill_n(buffer.changeMarks.begin() + static_cast<ptrdiff_t>(i / 8), wholeBytes, uint8_t{0xFF});
        i += wholeBytes * 8;
    }
    for (; i < end; ++i) SetMark(buffer, static_cast<uint32_t>(i));
}

void ClearMarks(DataBuffer& buffer, uint32_t length) {
    const size_t markBytes = std::min<size_t>(length / 8, buffer.changeMarks.size());
    std::fill_n(buffer.changeMarks.begin(), markBytes, uint8_t{0});
}

}  // namespace qbr
