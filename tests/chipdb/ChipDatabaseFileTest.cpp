// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/CapacityText.h"
#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipType.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace qbr {
namespace {

using Bytes = std::array<uint8_t, 108>;

TEST(ChipDatabaseFile, FieldsSitAtTheirLittleEndianOffsets) {
    const ChipRecord chip{0x04030201, "93C46(16BIT)", "GENERIC", 0x11, 50, 0x0A0B0C0D,
                          0x01020304, 0x0201,         0x1C,      0xFE, 6,  16};
    Bytes expected{};
    std::memcpy(&expected[0],
                "\x01\x02\x03\x04"
                "93C46(16BIT)",
                16);
    std::memcpy(&expected[44], "GENERIC", 7);
    std::memcpy(&expected[64], "\x11\x32\0\0\x0D\x0C\x0B\x0A\x04\x03\x02\x01\x01\x02\x1C\xFE\x06\x10", 18);
    Bytes encoded;
    encoded.fill(0xEE);  // padding and reserved bytes must be written as zero
    EncodeRecord(chip, encoded);
    EXPECT_EQ(encoded, expected);

    expected[66] = expected[100] = 0x55;  // not read
    expected[20] = 'X';                   // behind the name's NUL
    EXPECT_EQ(DecodeRecord(expected), chip);

    std::vector<uint8_t> file = EncodeDatabase(std::vector<ChipRecord>(300, chip));
    ASSERT_EQ(file.size(), 100u + 300u * 108u);
    std::vector<uint8_t> header(100, 0);
    header[0] = 0x2C;
    header[1] = 0x01;
    EXPECT_TRUE(std::equal(header.begin(), header.end(), file.begin()));
}

ChipRecord Named(const std::string& chipName, const std::string& makerName) {
    ChipRecord chip;
    chip.chipName = chipName;
    chip.makerName = makerName;
    return chip;
}

TEST(ChipDatabaseFile, NamesStayInsideTheirFields) {
    Bytes bytes{};
    std::memset(&bytes[4], 'C', 60);  // both names without NUL, followed by the spare byte
    EXPECT_EQ(DecodeRecord(bytes).chipName, std::string(40, 'C'));
    EXPECT_EQ(DecodeRecord(bytes).makerName, std::string(20, 'C'));

    EncodeRecord(Named(std::string(39, 'C'), std::string(19, 'M')), bytes);
    EXPECT_EQ(DecodeRecord(bytes), Named(std::string(39, 'C'), std::string(19, 'M')));
    EXPECT_THROW(EncodeRecord(Named(std::string(40, 'C'), "M"), bytes), std::invalid_argument);
    EXPECT_THROW(EncodeRecord(Named("C", std::string(20, 'M')), bytes), std::invalid_argument);
    EXPECT_THROW(EncodeRecord(Named("C", std::string("M\0N", 3)), bytes), std::invalid_argument);
    EXPECT_THROW(EncodeDatabase(std::vector<ChipRecord>(2001)), std::invalid_argument);
}

TEST(ShortCapacityText, EveryRowOfTheTable) {
    auto text = [](uint32_t type, uint32_t capacity, uint8_t width) {
        ChipRecord chip;
        chip.chipType = type;
        chip.capacity = capacity;
        chip.dataWidth = width;
        return ShortCapacityText(chip);
    };
    EXPECT_EQ(text(kSpiFlash, 16 * 1024 * 1024, 8), "16384KB");
    EXPECT_EQ(text(kEeprom25, 1536, 8), "1KB");
    EXPECT_EQ(text(kEeprom24, 1023, 8), "1023B");
    EXPECT_EQ(text(kEeprom93, 2048, 8), "2K x8bit");
    EXPECT_EQ(text(kEeprom93, 1023, 8), "1023 x8bit");
    EXPECT_EQ(text(kEeprom93, 2048, 16), "1K x16bit");
    EXPECT_EQ(text(kEeprom93, 2047, 16), "1023 x16bit");
    EXPECT_EQ(text(kEeprom93, 128, 0), "64 x16bit");  // any width but 8 counts as 16
    EXPECT_EQ(ChipTypeName(AllTypes), "UNKNOWN");
    EXPECT_EQ(ChipTypeFromName(ChipTypeName(kEeprom93)), kEeprom93);
}

}  // namespace
}  // namespace qbr
