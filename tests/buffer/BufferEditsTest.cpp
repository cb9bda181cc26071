// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/BufferEdits.h"
#include "buffer/ChangeMarks.h"
#include "buffer/HexText.h"

#include <gtest/gtest.h>

#include <numeric>

namespace qbr {
namespace {

// A chip of `activeLength` bytes in a 1 KiB buffer holding a counting pattern.
DataBuffer PatternBuffer(uint32_t activeLength) {
    DataBuffer buffer{std::vector<uint8_t>(1024), std::vector<uint8_t>(128), activeLength};
    std::iota(buffer.bytes.begin(), buffer.bytes.end(), uint8_t{0});
    return buffer;
}

std::vector<uint32_t> Marked(const DataBuffer& buffer) {
    std::vector<uint32_t> marked;
    for (uint32_t i = 0; i < buffer.bytes.size(); ++i) {
        if (IsMarked(buffer, i)) marked.push_back(i);
    }
    return marked;
}

TEST(BufferFill, IsCutAtTheActiveLengthAndMarksWhatItFilled) {
    DataBuffer buffer = PatternBuffer(128);
    auto expected = buffer.bytes;
    EXPECT_EQ(FillRange(buffer, 0, 0, 0xAA), EditCheck::Ok);
    EXPECT_EQ(FillRange(buffer, 128, 1, 0xAA), EditCheck::StartAddressError);
    EXPECT_EQ(FillRange(buffer, 0x7F, 0x10, 0xAA), EditCheck::Ok);
    expected[0x7F] = 0xAA;
    EXPECT_EQ(buffer.bytes, expected);
    EXPECT_EQ(Marked(buffer), std::vector<uint32_t>{0x7F});

    // start + length beyond 2^32 is cut, not wrapped; the marks start and end inside mark bytes.
    FillRange(buffer, 3, 0xFFFFFFFF, 0x11);
    std::fill(expected.begin() + 3, expected.begin() + 128, 0x11);
    EXPECT_EQ(buffer.bytes, expected);
    const auto marked = Marked(buffer);
    EXPECT_TRUE(marked.size() == 125 && marked.front() == 3 && marked.back() == 127);
}

TEST(ByteSwap, SwapsWordsOfTheChipOnlyAndClearsWholeMarkBytes) {
    DataBuffer buffer = PatternBuffer(256);
    FillRange(buffer, 10, 20, 0x55);
    const auto filled = buffer.bytes;
    ByteSwap(buffer);
    EXPECT_TRUE(buffer.bytes[0] == 1 && buffer.bytes[255] == 254 && buffer.bytes[256] == 0);
    EXPECT_TRUE(Marked(buffer).empty());
    ByteSwap(buffer);
    EXPECT_EQ(buffer.bytes, filled);

    // Odd length: the last byte has no partner and stays; marks of 8..12 stay too.
    buffer = PatternBuffer(13);
    MarkRange(buffer, 0, 13);  // a whole mark byte and five tail bits
    ByteSwap(buffer);
    EXPECT_EQ(std::vector<uint8_t>(&buffer.bytes[10], &buffer.bytes[14]), (std::vector<uint8_t>{11, 10, 12, 13}));
    EXPECT_EQ(Marked(buffer), (std::vector<uint32_t>{8, 9, 10, 11, 12}));
}

TEST(HexText, AcceptsDigitsOfEitherCaseOnly) {
    EXPECT_EQ(FindNonHexChar("09afAF"), -1);
    EXPECT_EQ(FindNonHexChar("12G4"), 2);
    uint32_t value = 99;
    EXPECT_TRUE(ParseHexText("", value) && value == 0);
    EXPECT_TRUE(ParseHexText("FFFFFF", value) && value == 0xFFFFFF);
    EXPECT_TRUE(ParseHexText("0aB", value) && value == 0xAB);
    EXPECT_FALSE(ParseHexText("1G", value));
    EXPECT_EQ(value, 0xABu);
}

}  // namespace
}  // namespace qbr
