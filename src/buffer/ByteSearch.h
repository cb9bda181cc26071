// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qbr {

// How the Find box reads what was typed.
enum class SearchKind {
    Hex,   // bytes as pairs of hex digits in either case, groups parted by blanks: "DE AD BE EF", "deadbeef"
    Text,  // the text's own bytes
};

enum class SearchDirection { Forward, Backward };

// Why a typed pattern can't be searched for.
enum class PatternFault {
    None,
    Empty,          // nothing to search for
    OddDigitCount,  // a group of hex digits with an odd count, such as "ABC"
    NotHexDigit,    // a character that is neither a hex digit nor a blank
};

// The bytes to look for, or why there are none. `faultText` is the group or the
// character at fault.
struct SearchPattern {
    std::vector<uint8_t> bytes;
    PatternFault fault = PatternFault::None;
    std::string faultText;
};

SearchPattern ParseSearchPattern(std::string_view text, SearchKind kind);

// The pattern's fault in the current language, naming the text at fault; empty for None.
std::string PatternFaultMessage(const SearchPattern& pattern);

// Where a search found the needle: its first byte, and whether the search went
// past the end (forwards) or the start (backwards) to get there.
struct SearchHit {
    uint32_t start = 0;
    bool wrapped = false;
    friend bool operator==(SearchHit, SearchHit) = default;
};

// Looks for `needle` in `haystack` (the buffer's active bytes).
// Forward: the first hit that starts at `from` or later; when there is none, the
// first hit of the whole haystack (it starts before `from`).
// Backward: the last hit that starts at `from` or earlier (`from` past the last
// possible start means from the end); when there is none, the last hit of the
// whole haystack (it starts after `from`).
// Nothing when the needle is empty, longer than the haystack or not in it.
std::optional<SearchHit> FindBytes(std::span<const uint8_t> haystack, std::span<const uint8_t> needle, uint32_t from,
                                   SearchDirection direction);

}  // namespace qbr
