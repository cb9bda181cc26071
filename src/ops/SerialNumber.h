// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qbr {

// Where and how each chip's serial number goes into the image.
struct SerialFormat {
    enum class Kind { Decimal, Hex, LittleEndian, BigEndian };

    uint32_t address = 0;
    Kind kind = Kind::Decimal;
    uint32_t width = 0;  // characters (dec, hex) or bytes (le, be: 1 to 8)

    // "ADDR,FORMAT,WIDTH": ADDR decimal or 0x-hex, FORMAT dec, hex, le or be, WIDTH
    // at least 1 (at most 8 for le and be, 64 for text). None when malformed.
    static std::optional<SerialFormat> Parse(std::string_view text);

    // The number as it goes into the image: dec and hex as upper-case ASCII digits
    // padded with '0' to the width, le and be as binary. None when it doesn't fit.
    std::optional<std::vector<uint8_t>> Bytes(uint64_t number) const;

    bool operator==(const SerialFormat&) const = default;
};

}  // namespace qbr
