// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qbr {

// Hexadecimal numbers typed into the edit dialogs: digits 0-9, a-f and A-F, no prefix.

// Index of the first character that is not a hex digit; -1 when there is none
// (also for an empty text).
std::ptrdiff_t FindNonHexChar(std::string_view text);

// The value of the digits, most significant first; an empty text is 0. False when a
// character is not a hex digit, and `value` is then left as it was. The dialog
// fields hold at most 6 digits; longer texts wrap modulo 2^32.
bool ParseHexText(std::string_view text, uint32_t& value);

}  // namespace qbr
