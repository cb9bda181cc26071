// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"
#include "base/MessageTable.h"
#include "support/ProgramDir.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

using test::ProgramDir;
using test::SampleConfig;

TEST(MessageTable, LooksUpTheCurrentLanguageOnEveryCall) {
    ProgramDir dir(SampleConfig("English"));
    EXPECT_EQ(MessageText(kMsgNoProgrammer), "No programmer linked to computer!");
    EXPECT_EQ(MessageText(kMsgDetectChipError), MessageText(kMsgDetectChipUnsupported));
    EXPECT_EQ(MessageText(kMsgFirmwareLinkPrompt),
              "Please click \"OK\", and link programmer to computer in 10 seconds!");
    SetLanguageForSession(kLanguageChinese);
    EXPECT_EQ(MessageText(kMsgNoProgrammer), "未发现有编程器连接到电脑!");
    EXPECT_NE(MessageText(kMsgDetectCompatibleNote), "");
    EXPECT_NE(MessageText(kMsgDetectChipError), MessageText(kMsgDetectChipUnsupported));
    EXPECT_NE(MessageText(kMsgDetectChipUnsupported).find("\r\n"), std::string::npos);
}

// Unknown ids and language names (they are case-sensitive) give empty texts.
TEST(MessageTable, EveryFixedTextExistsInBothLanguages) {
    ProgramDir dir("");  // no config.ini: the configured rows stay empty
    for (const char* language : {"", "english"}) {
        SetLanguageForSession(language);
        EXPECT_EQ(MessageText(kMsgProgrammerBusy), "");
    }
    EXPECT_EQ(MessageText(125), "");
    EXPECT_EQ(MessageText(-1), "");
    for (int id = 0; id < kMessageCount; ++id) {
        // Configured rows are empty without config.ini, except the file rows, which hold the directory.
        const bool configured = id >= kMsgCaption && id <= kMsgDefaultChipName && id != kMsgAboutOk &&
                                !(id >= kMsgLogFilePath && id <= kMsgMainPicturePath);
        SetLanguageForSession(kLanguageEnglish);
        const std::string english = MessageText(id);
        SetLanguageForSession(kLanguageChinese);
        const std::string chinese = MessageText(id);
        EXPECT_EQ(english.empty(), configured) << id;
        EXPECT_EQ(chinese.empty(), configured) << id;
    }
}

TEST(MessageTable, ConfigRowsComeFromTheLanguageSections) {
    ProgramDir dir(SampleConfig("English", "W25Q64FV"));
    EXPECT_EQ(MessageText(kMsgCaption), "Caption English");
    EXPECT_EQ(MessageText(kMsgLogFilePath), dir.dirText() + "test.log");
    EXPECT_EQ(MessageText(kMsgDefaultChipName), "W25Q64FV");
    EXPECT_EQ(MessageText(kMsgManualFilePath), dir.dirText());  // absent key: the bare directory
    SetLanguageForSession(kLanguageChinese);
    EXPECT_EQ(MessageText(kMsgCaption), "Caption SimpleChinese");
    EXPECT_EQ(MessageText(kMsgDefaultChipName), "W25Q64FV");
}

TEST(Language, SwitchIsStoredInConfigAndEverythingElseKept) {
    ProgramDir dir(SampleConfig("SimpleChinese"));
    EXPECT_EQ(GetLanguage(), "SimpleChinese");
    SetLanguage(kLanguageEnglish);
    SaveDefaultChipName("AT24C02");
    EXPECT_EQ(GetLanguage(), "English");
    dir.Reload();
    EXPECT_EQ(GetLanguage(), "English");
    EXPECT_EQ(MessageText(kMsgDefaultChipName), "AT24C02");
    EXPECT_EQ(MessageText(kMsgCaption), "Caption English");
}

}  // namespace
}  // namespace qbr
