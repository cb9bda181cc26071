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

// Names are case-insensitive and values trimmed; a missing section, key or file
// reads empty; long values are cut to 199 bytes on a character boundary.
TEST(IniFileRead, WhatALookupFinds) {
    const std::string longAscii = "[S]\nk=" + std::string(250, 'x') + "\n";
    // 198 ASCII bytes and a three-byte character: the character does not fit and is dropped whole.
    const std::string longMixed = "[S]\nk=" + std::string(198, 'x') + "中文\n";
    const struct {
        std::string text, section, key, value;
    } cases[] = {
        {kSample, "run", "defaultlanguage", "English"},
        {kSample, "ENGLISH", "CAPTION", "Programmer"},
        {kSample, "English", "Quoted", "  padded  "},
        {kSample, "Nope", "Caption", ""},
        {kSample, "Run", "Caption", ""},  // key of another section
        {kSample, "English", "# comment", ""},
        {longAscii, "S", "k", std::string(199, 'x')},
        {longMixed, "S", "k", std::string(198, 'x')},
    };
    for (const auto& c : cases) EXPECT_EQ(IniFile::ReadFromText(c.text, c.section, c.key), c.value) << c.key;
    TempDir dir;
    EXPECT_EQ(IniFile::Read(dir.file("missing.ini").string(), "Run", "DefaultLanguage"), "");
}

// A key is replaced in place, added at the end of its section, or with a new
// section at the end of the text; every other line stays as it was.
TEST(IniFileWrite, ReplacesOrAddsAndKeepsEveryOtherLine) {
    std::string expected = kSample;
    expected.replace(expected.find("DefaultLanguage = English"), 25, "defaultlanguage=SimpleChinese");
    EXPECT_EQ(IniFile::WriteToText(kSample, "RUN", "defaultlanguage", "SimpleChinese"), expected);
    EXPECT_NE(IniFile::WriteToText(kSample, "Run", "DefaultChipName", "EN25T80")
                  .find("DefaultLanguage = English\nDefaultChipName=EN25T80\n\n[English]"),
              std::string::npos);
    EXPECT_EQ(IniFile::WriteToText("[A]\r\nx=1", "B", "y", "2"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
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
