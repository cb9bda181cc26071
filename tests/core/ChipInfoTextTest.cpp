// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"
#include "chipdb/ChipType.h"
#include "core/ChipInfoText.h"
#include "support/ProgramDir.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

ChipRecord Chip(uint32_t type, uint32_t capacity, uint8_t width = 8) {
    ChipRecord chip;
    chip.chipType = type;
    chip.chipName = "NAME";
    chip.makerName = "MAKER";
    chip.capacity = capacity;
    chip.dataWidth = width;
    return chip;
}

TEST(ChipInfoText, LongCapacityTextOfEveryRow) {
    test::ProgramDir dir(test::SampleConfig("English"));
    const std::string note = "(High 8 bits first, low 8 bits followed)\r\n\r\n";
    EXPECT_EQ(LongCapacityText(Chip(kSpiFlash, 0x100000)), "1MB\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kSpiFlash, 0x80000)), "512KB\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom24, 1023)), "1023B\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom25, 1024)), "1KB\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 128, 8)), "128 x8bit\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 2048, 8)), "2K x8bit\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 0x100000, 8)), "1M x8bit\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 128, 16)), "64 x16bit\r\n\r\n" + note);
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 2048, 16)), "1K x16bit\r\n\r\n" + note);
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 0x200000, 0)), "1M x16bit\r\n\r\n" + note);
}

TEST(ChipInfoText, LogLineInBothLanguages) {
    test::ProgramDir dir(test::SampleConfig("English"));
    EXPECT_EQ(ChipInfoLogLine(Chip(kSpiFlash, 0x100000)), "Chip:NAME, ManuMAKER, 1MB\r\n\r\n");
    SetLanguageForSession(kLanguageChinese);
    EXPECT_EQ(ChipInfoLogLine(Chip(kEeprom93, 128, 16)),
              "器件:NAME, 厂商:MAKER, 64 x16bit\r\n\r\n(高8位在前，低8位在后)\r\n\r\n");
}

}  // namespace
}  // namespace qbr
