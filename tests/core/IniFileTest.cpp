// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qbr {
namespace {

using test::ReadFileText;
using test::TempDir;
using test::WriteFileText;

const char* kSample =
    "; settings\n"
    "[Run]\n"
    "DefaultLanguage = English\n"
    "\n"
    "[English]\n"
    "Caption=Programmer\n"
    "Quoted=\"  padded  \"\n"
    "# comment=ignored\n";

TEST(IniFileRead, NamesAreCaseInsensitiveAndValuesTrimmed) {
    EXPECT_EQ(IniFile::ReadFromText(kSample, "run", "defaultlanguage"), "English");
    EXPECT_EQ(IniFile::ReadFromText(kSample, "ENGLISH", "CAPTION"), "Programmer");
    EXPECT_EQ(IniFile::ReadFromText(kSample, "English", "Quoted"), "  padded  ");
}

TEST(IniFileRead, MissingSectionKeyOrFileReadsEmpty) {
    EXPECT_EQ(IniFile::ReadFromText(kSample, "Nope", "Caption"), "");
    EXPECT_EQ(IniFile::ReadFromText(kSample, "Run", "Caption"), "");  // key of another section
    EXPECT_EQ(IniFile::ReadFromText(kSample, "English", "# comment"), "");
    TempDir dir;
    EXPECT_EQ(IniFile::Read(dir.file("missing.ini").string(), "Run", "DefaultLanguage"), "");
}

TEST(IniFileRead, LongValuesAreCutTo199BytesOnACharacterBoundary) {
    const std::string ascii(250, 'x');
    EXPECT_EQ(IniFile::ReadFromText("[S]\nk=" + ascii + "\n", "S", "k"), std::string(199, 'x'));
    // 198 ASCII bytes and a three-byte character: the character does not fit and is dropped whole.
    const std::string mixed = std::string(198, 'x') + "中文";
    EXPECT_EQ(IniFile::ReadFromText("[S]\nk=" + mixed + "\n", "S", "k"), std::string(198, 'x'));
}

TEST(IniFileWrite, ReplacesAKeyAndKeepsEveryOtherLine) {
    const std::string out = IniFile::WriteToText(kSample, "RUN", "defaultlanguage", "SimpleChinese");
    std::string expected = kSample;
    expected.replace(expected.find("DefaultLanguage = English"), 25, "defaultlanguage=SimpleChinese");
    EXPECT_EQ(out, expected);
}

TEST(IniFileWrite, AddsKeysAtTheEndOfTheirSectionAndNewSectionsAtTheEnd) {
    std::string out = IniFile::WriteToText(kSample, "Run", "DefaultChipName", "EN25T80");
    EXPECT_NE(out.find("DefaultLanguage = English\nDefaultChipName=EN25T80\n\n[English]"), std::string::npos);
    out = IniFile::WriteToText("[A]\r\nx=1", "B", "y", "2");
    EXPECT_EQ(out, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    EXPECT_EQ(IniFile::WriteToText("", "Run", "k", "v"), "[Run]\nk=v\n");
}

TEST(IniFileWrite, WritesThroughTheFileAndFailsWithoutDamage) {
    TempDir dir;
    const auto path = dir.file("config.ini");
    ASSERT_TRUE(IniFile::Write(path.string(), "Run", "DefaultLanguage", "English"));
    WriteFileText(path, ReadFileText(path) + "; keep me\n");
    ASSERT_TRUE(IniFile::Write(path.string(), "Run", "DefaultChipName", "W25Q64FV"));
    EXPECT_EQ(IniFile::Read(path.string(), "run", "DEFAULTCHIPNAME"), "W25Q64FV");
    EXPECT_NE(ReadFileText(path).find("; keep me"), std::string::npos);

    const std::string before = ReadFileText(path);
    EXPECT_FALSE(IniFile::Write(path.string(), "Run", "DefaultChipName", "two\nlines"));
    EXPECT_FALSE(IniFile::Write(dir.file("no/such/dir/config.ini").string(), "Run", "k", "v"));
    EXPECT_EQ(ReadFileText(path), before);
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace qbr
