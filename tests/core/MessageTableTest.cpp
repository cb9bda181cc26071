// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"
#include "base/MessageTable.h"
#include "chipdb/ChipType.h"
#include "core/ChipInfoText.h"
#include "support/ProgramDir.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

using test::ProgramDir;
using test::SampleConfig;

// Unknown ids and language names (they are case-sensitive) give empty texts.
TEST(MessageTable, EveryFixedTextExistsInBothLanguages) {
    ProgramDir dir("");  // no config.ini: the configured rows stay empty
    for (const char* language : {"", "english"}) {
        SetLanguageForSession(language);
        EXPECT_EQ(MessageText(kMsgProgrammerBusy), "");
    }
    EXPECT_EQ(MessageText(kMessageCount), "");
    EXPECT_EQ(MessageText(-1), "");
    for (int id = 0; id < kMessageCount; ++id) {
        // Configured rows are empty without config.ini, except the file rows, which hold the directory.
        const bool configured = id >= kMsgCaption && id <= kMsgDefaultChipName && id != kMsgAboutOk &&
                                !(id >= kMsgLogFilePath && id <= kMsgMainPicturePath);
        SetLanguageForSession(kLanguageEnglish);
        EXPECT_EQ(MessageText(id).empty(), configured) << id;
        SetLanguageForSession(kLanguageChinese);
        EXPECT_EQ(MessageText(id).empty(), configured) << id;
    }
}

TEST(MessageTable, ConfigRowsComeFromTheLanguageSectionsAndTheSwitchIsStored) {
    ProgramDir dir(SampleConfig("SimpleChinese", "W25Q64FV"));
    EXPECT_EQ(MessageText(kMsgNoProgrammer), "未发现有编程器连接到电脑!");
    EXPECT_EQ(MessageText(kMsgCaption), "Caption SimpleChinese");
    EXPECT_EQ(MessageText(kMsgLogFilePath), dir.dirText() + "test.log");
    EXPECT_EQ(MessageText(kMsgManualFilePath), dir.dirText());  // absent key: the bare directory
    SetLanguage(kLanguageEnglish);
    SaveDefaultChipName("AT24C02");
    dir.Reload();
    EXPECT_EQ(GetLanguage(), "English");
    EXPECT_EQ(MessageText(kMsgNoProgrammer), "No programmer linked to computer!");
    EXPECT_EQ(MessageText(kMsgDefaultChipName), "AT24C02");
    EXPECT_EQ(MessageText(kMsgCaption), "Caption English");
}

ChipRecord Chip(uint32_t type, uint32_t capacity, uint8_t width = 8) {
    return {type, "NAME", "MAKER", 0, 33, capacity, 0, 0, 0, 0, 0, width};
}

TEST(ChipInfoText, CapacityInEveryUnitAndTheLogLineInBothLanguages) {
    ProgramDir dir(SampleConfig("English"));
    const std::string note = "(High 8 bits first, low 8 bits followed)\r\n\r\n";
    EXPECT_EQ(LongCapacityText(Chip(kSpiFlash, 0x100000)), "1MB\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kSpiFlash, 0x80000)), "512KB\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom24, 1023)), "1023B\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 2048, 8)), "2K x8bit\r\n\r\n");
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 128, 16)), "64 x16bit\r\n\r\n" + note);
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 2048, 16)), "1K x16bit\r\n\r\n" + note);
    EXPECT_EQ(LongCapacityText(Chip(kEeprom93, 0x200000, 0)), "1M x16bit\r\n\r\n" + note);
    EXPECT_EQ(ChipInfoLogLine(Chip(kSpiFlash, 0x100000)), "Chip:NAME, ManuMAKER, 1MB\r\n\r\n");
    SetLanguageForSession(kLanguageChinese);
    EXPECT_EQ(ChipInfoLogLine(Chip(kEeprom93, 128, 16)),
              "器件:NAME, 厂商:MAKER, 64 x16bit\r\n\r\n(高8位在前，低8位在后)\r\n\r\n");
}

}  // namespace
}  // namespace qbr
