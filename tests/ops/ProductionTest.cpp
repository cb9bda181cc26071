// SPDX-License-Identifier: GPL-3.0-or-later
// Serial numbers of a production run: their form in the image.
#include "ops/SerialNumber.h"

#include <gtest/gtest.h>

#include <utility>

namespace qbr {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(std::string_view digits) {
    return Bytes(digits.begin(), digits.end());
}

// Every form at its edges: zero, leading zeros, the exact width, one digit or byte
// too narrow, the largest number, letters of hex and the byte order. The address is
// ADDR of ADDR,FORMAT,WIDTH, in decimal or 0x-hex up to 32 bits; anything else is refused.
TEST(SerialFormat, ParsesItsTextAndPlacesEachFormAtItsEdges) {
    struct Case {
        const char* format;
        uint64_t number;
        std::optional<Bytes> bytes;
    };
    const Case cases[] = {
        {"0,dec,1", 0, Text("0")},
        {"0,dec,5", 42, Text("00042")},
        {"0,dec,4", 9999, Text("9999")},
        {"0,dec,4", 10000, std::nullopt},
        {"0,dec,20", UINT64_MAX, Text("18446744073709551615")},
        {"0,dec,19", UINT64_MAX, std::nullopt},
        {"0,dec,0x40", 7, Text(std::string(63, '0') + "7")},
        {"0,hex,3", 0, Text("000")},
        {"0,hex,6", 0xABCDEF, Text("ABCDEF")},
        {"0,hex,4", 0x10000, std::nullopt},
        {"0,hex,16", UINT64_MAX, Text("FFFFFFFFFFFFFFFF")},
        {"0,hex,15", UINT64_MAX, std::nullopt},
        {"0,le,1", 0, Bytes{0x00}},
        {"0,le,1", 0xFF, Bytes{0xFF}},
        {"0,le,1", 0x100, std::nullopt},
        {"0,le,3", 0x123456, Bytes{0x56, 0x34, 0x12}},
        {"0,be,3", 0x123456, Bytes{0x12, 0x34, 0x56}},
        {"0,be,4", 0x1234, Bytes{0x00, 0x00, 0x12, 0x34}},
        {"0,le,7", (uint64_t{1} << 56) - 1, Bytes(7, 0xFF)},
        {"0,be,7", uint64_t{1} << 56, std::nullopt},
        {"0,le,8", 0x0102030405060708, Bytes{8, 7, 6, 5, 4, 3, 2, 1}},
        {"0,be,8", UINT64_MAX, Bytes(8, 0xFF)},
    };
    for (const Case& c : cases) {
        const std::optional<SerialFormat> format = SerialFormat::Parse(c.format);
        ASSERT_TRUE(format) << c.format;
        EXPECT_EQ(format->Bytes(c.number), c.bytes) << c.format << " " << c.number;
    }
    const std::pair<const char*, uint32_t> good[] = {{"0x100,dec,8", 0x100},
                                                     {"16,hex,1", 16},
                                                     {"0xFFFFFFFF,le,8", UINT32_MAX},
                                                     {"4294967295,be,1", UINT32_MAX}};
    for (const auto& [text, address] : good) {
        const std::optional<SerialFormat> format = SerialFormat::Parse(text);
        ASSERT_TRUE(format) << text;
        EXPECT_EQ(format->address, address) << text;
    }
    for (const char* bad : {"", "0x100", "0x100,dec", "1,oct,4", "1,DEC,4", "1,le,9", "1,dec,65", "1,dec,0", "x,dec,4",
                            "-1,dec,4", "1,dec,-4", "0x100000000,dec,4", "1,dec,18446744073709551617", "12abc,dec,4",
                            ",dec,4", "1,dec,", "1,dec,4,5", " 1,dec,4", "0x,dec,4"}) {
        EXPECT_FALSE(SerialFormat::Parse(bad)) << bad;
    }
}

}  // namespace
}  // namespace qbr
