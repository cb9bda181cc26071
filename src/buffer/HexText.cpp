// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/HexText.h"

namespace qbr {
namespace {

// 0-15 for a hex digit of either case, -1 otherwise.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::ptrdiff_t FindNonHexChar(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (DigitValue(text[i]) < 0) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

bool ParseHexText(std::string_view text, uint32_t& value) {
    uint32_t sum = 0;
    for (char c : text) {
        const int digit = DigitValue(c);
        if (digit < 0) return false;
        sum = (sum << 4) | static_cast<uint32_t>(digit);
    }
    value = sum;
    return true;
}

}  // namespace qbr
