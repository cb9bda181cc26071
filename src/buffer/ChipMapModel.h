// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"
#include "buffer/DifferenceMarks.h"
#include "buffer/HexViewModel.h"

#include <array>
#include <cstdint>
#include <vector>

namespace qbr {

// What a row of 16 bytes holds, as the chip map draws it. A later class wins over
// an earlier one: a row with one differing byte is drawn as differing.
enum class MapClass : uint8_t {
    Blank,    // every byte 0xFF
    Data,     // some byte not 0xFF
    Changed,  // some byte changed since the buffer was loaded or read
    Differs,  // some byte differs from the chip (after a compare)
};

// The map's colour of each class: blank is the view's white, changed its red,
// differing its difference colour.
Rgb MapColour(MapClass mapClass);

// The whole buffer at a glance: a strip of pixels, each one the highest class of
// the rows it covers. Keeps a class per row and, per block of rows, how many rows
// of each class it holds, so that a typed byte costs one row (UpdateRow) and a
// picture costs the blocks, not the bytes.
class ChipMapModel {
public:
    static constexpr uint32_t kRowBytes = HexViewModel::kRowBytes;
    static constexpr uint32_t kBlockRows = 256;

    // Maps `length` bytes of `buffer` (a last partial row counts as a row) and the
    // bytes `differences` marks (none when null), and classes every row. Both must
    // outlive the map or be replaced by the next SetData.
    void SetData(const DataBuffer& buffer, uint32_t length, const DifferenceMarks* differences);
    // Classes rows [fromRow, toRow) afresh: after a command changed the buffer's
    // bytes, marks or differences. The rows of bytes [a, b) are a / 16 to (b + 15) / 16.
    void Rescan(uint32_t fromRow = 0, uint32_t toRow = UINT32_MAX);
    // Classes one row afresh, in constant time: after a byte of it was typed.
    void UpdateRow(uint32_t row);

    uint32_t Rows() const { return static_cast<uint32_t>(rowClass_.size()); }
    MapClass RowClass(uint32_t row) const { return rowClass_[row]; }

    // One class per pixel of a strip `height` pixels high, top to bottom: pixel y
    // covers rows [y * Rows() / height, (y + 1) * Rows() / height), at least one row.
    // Empty without data. `pixels` is reused.
    void Compose(int height, std::vector<MapClass>& pixels) const;
    // Where a click or drag at pixel `y` of the strip goes: the first row of the
    // pixel's rows that has the pixel's class (a click on a mark lands on it), row 0
    // above the strip, the last row on its last pixel and below. A byte address.
    uint32_t AddressAt(int y, int height) const;

private:
    using Counts = std::array<uint32_t, 4>;

    MapClass ClassOf(uint32_t row) const;
    // The highest class of rows [first, end).
    MapClass ClassOfRows(uint32_t first, uint32_t end) const;
    // The same from the rows' own classes alone.
    MapClass HighestOf(uint32_t first, uint32_t end) const;
    // Rows [first, end) of pixel `y`.
    std::pair<uint32_t, uint32_t> PixelRows(int y, int height) const;

    const DataBuffer* buffer_ = nullptr;
    const DifferenceMarks* differences_ = nullptr;
    uint32_t length_ = 0;
    std::vector<MapClass> rowClass_;
    std::vector<Counts> blockCounts_;
};

}  // namespace qbr
