// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/InputFile.h"
#include "buffer/RecordFault.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qbr {

// The characters of a hex record file read a large block at a time, so a record
// parser can work character by character without a system call for each one. A
// small file is read in one block of its own size. Between records only blanks
// (space, tab) and line breaks may stand; the stream counts the lines they end.
class HexCharStream {
public:
    // The most characters one Take may ask for: 256 bytes as hex digit pairs.
    static constexpr size_t kMaxTake = 512;

    explicit HexCharStream(InputFile& file);

    // Moves past blanks and line breaks and takes the next other character;
    // nothing when the file ends first.
    std::optional<char> TakeNonBlank();

    // The next n characters, valid until the next call; null when fewer are left.
    const char* Take(size_t n);

    // The next 2n characters as n bytes, each a pair of upper-case hex digits, high
    // nibble first. Otherwise the first fault: MissingEnd when the file ends first
    // (it was cut short), LowerCaseDigit, RecordLength when a blank or a line break
    // comes first, or BadCharacter.
    RecordFault TakeBytes(size_t n, uint8_t* out);

    // Whether the next character is a hex digit of either case: a record read to
    // its length byte goes on.
    bool AtHexDigit();

    // The line of the next character, from 1: LF, CR LF and CR alone each end one.
    uint64_t Line() const { return line_; }

private:
    static constexpr size_t kMaxBlockSize = 1 << 20;

    bool Refill();

    InputFile& file_;
    std::vector<char> block_;
    std::array<char, kMaxTake> scratch_{};
    size_t pos_ = 0;
    size_t end_ = 0;
    uint64_t line_ = 1;
    bool afterCr_ = false;  // an LF right after a CR ends no other line
};

}  // namespace qbr
