// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qbr {

// A number as users type addresses and sizes: decimal digits, or hexadecimal ones
// after "0x" or "0X". None for anything else, or a value beyond 64 bits.
std::optional<uint64_t> ParseNumber(std::string_view text);

// "0x" and the number in upper-case hex digits, at least `digits` of them.
std::string HexNumber(uint64_t value, int digits);

}  // namespace qbr
