// SPDX-License-Identifier: GPL-3.0-or-later
#include "buffer/HexText.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

TEST(HexText, AcceptsDigitsOfEitherCaseOnly) {
    EXPECT_EQ(FindNonHexChar(""), -1);
    EXPECT_EQ(FindNonHexChar("09afAF"), -1);
    EXPECT_EQ(FindNonHexChar("12G4"), 2);
    EXPECT_EQ(FindNonHexChar("-1"), 0);
    uint32_t value = 99;
    EXPECT_TRUE(ParseHexText("", value) && value == 0);
    EXPECT_TRUE(ParseHexText("FFFFFF", value) && value == 0xFFFFFF);
    EXPECT_TRUE(ParseHexText("0aB", value) && value == 0xAB);
    EXPECT_FALSE(ParseHexText("1G", value));
    EXPECT_EQ(value, 0xABu);
}

}  // namespace
}  // namespace qbr
