// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/ChipMapModel.h"

#include "buffer/ChangeMarks.h"

#include <algorithm>
#include <cstring>

namespace qbr {
namespace {

constexpr Rgb kDataGrey{120, 120, 120};

// Whether `count` bytes from `bytes` are all 0xFF, 8 at a time.
bool AllErased(const uint8_t* bytes, uint32_t count) {
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        if (word != ~uint64_t{0}) return false;
    }
    for (; i < count; ++i) {
        if (bytes[i] != 0xFF) return false;
    }
    return true;
}

}  // namespace

Rgb MapColour(MapClass mapClass) {
    switch (mapClass) {
    case MapClass::Blank: return hexcolour::kWhite;
    case MapClass::Data: return kDataGrey;
    case MapClass::Changed: return hexcolour::kRed;
    case MapClass::Differs: return hexcolour::kDiffer;
    }
    return hexcolour::kWhite;
}

void ChipMapModel::SetData(const DataBuffer& buffer, uint32_t length, const DifferenceMarks* differences) {
    buffer_ = &buffer;
    differences_ = differences;
    length_ = static_cast<uint32_t>(std::min<size_t>(length, buffer.bytes.size()));
    const uint32_t rows = (length_ + kRowBytes - 1) / kRowBytes;
    // Every row starts blank and is classed by the rescan.
    rowClass_.assign(rows, MapClass::Blank);
    blockCounts_.assign((rows + kBlockRows - 1) / kBlockRows, Counts{});
    for (uint32_t block = 0; block < blockCounts_.size(); ++block) {
        blockCounts_[block][0] = std::min(kBlockRows, rows - block * kBlockRows);
    }
    Rescan();
}

void ChipMapModel::Rescan(uint32_t fromRow, uint32_t toRow) {
    const uint32_t end = std::min(toRow, Rows());
    for (uint32_t row = fromRow; row < end; ++row) UpdateRow(row);
}

void ChipMapModel::UpdateRow(uint32_t row) {
    if (row >= Rows()) return;
    const MapClass now = ClassOf(row), before = rowClass_[row];
    if (now == before) return;
    Counts& counts = blockCounts_[row / kBlockRows];
    --counts[static_cast<size_t>(before)];
    ++counts[static_cast<size_t>(now)];
    rowClass_[row] = now;
}

MapClass ChipMapModel::ClassOf(uint32_t row) const {
    if (differences_ != nullptr && differences_->RowDiffers(row)) return MapClass::Differs;
    const uint32_t first = row * kRowBytes, count = std::min(kRowBytes, length_ - first);
    const size_t markByte = first / 8;
    if (count == kRowBytes && markByte + 1 < buffer_->changeMarks.size()) {
        if ((buffer_->changeMarks[markByte] | buffer_->changeMarks[markByte + 1]) != 0) return MapClass::Changed;
    } else {
        for (uint32_t i = first; i < first + count; ++i) {
            if (IsMarked(*buffer_, i)) return MapClass::Changed;
        }
    }
    return AllErased(&buffer_->bytes[first], count) ? MapClass::Blank : MapClass::Data;
}

MapClass ChipMapModel::ClassOfRows(uint32_t first, uint32_t end) const {
    // Whole blocks by their counts, the rows outside them one by one.
    const uint32_t firstBlock = (first + kBlockRows - 1) / kBlockRows, endBlock = end / kBlockRows;
    if (firstBlock >= endBlock) return HighestOf(first, end);
    MapClass best = std::max(HighestOf(first, firstBlock * kBlockRows), HighestOf(endBlock * kBlockRows, end));
    for (uint32_t block = firstBlock; block < endBlock && best != MapClass::Differs; ++block) {
        const Counts& counts = blockCounts_[block];
        size_t c = counts.size() - 1;
        while (c > 0 && counts[c] == 0) --c;
        best = std::max(best, static_cast<MapClass>(c));
    }
    return best;
}

MapClass ChipMapModel::HighestOf(uint32_t first, uint32_t end) const {
    // No early stop: a plain maximum over bytes runs as vector instructions.
    uint8_t best = 0;
    for (uint32_t row = first; row < end; ++row) best = std::max(best, static_cast<uint8_t>(rowClass_[row]));
    return static_cast<MapClass>(best);
}

std::pair<uint32_t, uint32_t> ChipMapModel::PixelRows(int y, int height) const {
    const uint64_t rows = Rows();
    const auto first = static_cast<uint32_t>(static_cast<uint64_t>(y) * rows / static_cast<uint64_t>(height));
    const auto end = static_cast<uint32_t>(static_cast<uint64_t>(y + 1) * rows / static_cast<uint64_t>(height));
    return {first, std::max(end, first + 1)};
}

void ChipMapModel::Compose(int height, std::vector<MapClass>& pixels) const {
    pixels.clear();
    if (Rows() == 0 || height <= 0) return;
    pixels.resize(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const auto [first, end] = PixelRows(y, height);
        pixels[static_cast<size_t>(y)] = ClassOfRows(first, end);
    }
}

uint32_t ChipMapModel::AddressAt(int y, int height) const {
    if (Rows() == 0 || y < 0) return 0;
    if (y >= height - 1) return (Rows() - 1) * kRowBytes;
    const auto [first, end] = PixelRows(y, height);
    const MapClass shown = ClassOfRows(first, end);
    uint32_t row = first;
    while (row + 1 < end && rowClass_[row] != shown) ++row;
    return row * kRowBytes;
}

}  // namespace qbr
