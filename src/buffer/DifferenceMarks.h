// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qbr {

// Which bytes of the buffer differ from the chip, after a compare: a copy of what
// the chip holds and one bit per byte. Typing keeps the bits exact (Update), so a
// byte typed back to the chip's value is no longer marked. Anything that replaces
// the buffer's contents makes the marks stale: Clear them.
class DifferenceMarks {
public:
    // Takes the chip's bytes from address 0 and marks every byte of
    // [0, min(chip size, buffer size)) where `buffer` holds another value. The
    // buffer must outlive the marks (or Clear them first).
    void Build(const DataBuffer& buffer, std::vector<uint8_t> chip);
    // Forgets the chip's copy: nothing differs.
    void Clear();

    // Byte `index` of the buffer changed: marks it when it differs from the chip's
    // byte, unmarks it when it equals it. Bytes beyond the compared length are ignored.
    void Update(uint32_t index);

    bool Differs(uint32_t index) const { return index < length_ && (bits_[index >> 6] >> (index & 63) & 1) != 0; }
    // Whether any of the 16 bytes from `row` * 16 differs.
    bool RowDiffers(uint32_t row) const;
    uint32_t Count() const { return count_; }
    // The number of bytes compared; 0 when cleared.
    uint32_t Length() const { return length_; }

    // The first byte of the next run of differing bytes that starts after `from`,
    // going on from the start past the end; the run under `from` itself only when
    // it is the only run. Nothing when no byte differs.
    std::optional<uint32_t> Next(uint32_t from) const;
    // The first byte of the closest run that starts before `from`, going on from
    // the end past the start.
    std::optional<uint32_t> Previous(uint32_t from) const;

private:
    // Bit i of word `word` is set when byte 64 * word + i starts a run.
    uint64_t RunStarts(size_t word) const;
    std::optional<uint32_t> FirstStartFrom(uint64_t begin) const;
    std::optional<uint32_t> LastStartBefore(uint64_t end) const;

    const DataBuffer* buffer_ = nullptr;
    std::vector<uint8_t> chip_;
    std::vector<uint64_t> bits_;
    uint32_t length_ = 0;
    uint32_t count_ = 0;
};

}  // namespace qbr
