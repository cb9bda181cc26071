// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/InputFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qbr {

// The characters of a hex record file read a large block at a time, so a record
// parser can work character by character without a system call for each one. A
// small file is read in one block of its own size.
class HexCharStream {
public:
    // The most characters one Take may ask for: 256 bytes as hex digit pairs.
    static constexpr size_t kMaxTake = 512;

    explicit HexCharStream(InputFile& file);

    // Moves past the next `c`; false when the file ends first.
    bool SkipPast(char c);

    // The next n characters, valid until the next call; null when fewer are left.
    const char* Take(size_t n);

    // The next 2n characters as n bytes, each a pair of upper-case hex digits, high
    // nibble first. False when fewer are left or a character is not 0-9 or A-F
    // (lower case is refused).
    bool TakeBytes(size_t n, uint8_t* out);

private:
    static constexpr size_t kMaxBlockSize = 1 << 20;

    bool Refill();

    InputFile& file_;
    std::vector<char> block_;
    std::array<char, kMaxTake> scratch_{};
    size_t pos_ = 0;
    size_t end_ = 0;
};

}  // namespace qbr
