// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file, the log file, where the program finds both, and the texts
// that come from the settings.
#include "base/ConfiguredFiles.h"
#include "base/IniFile.h"
#include "base/Language.h"
#include "base/LogFile.h"
#include "base/MessageTable.h"
#include "base/ProgramPaths.h"
#include "support/ProgramDir.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sys/stat.h>

namespace qbr {
namespace {

using test::ProgramDir;
using test::ReadFileText;
using test::SampleConfig;
using test::TempDir;
using test::WriteFileText;

const std::string kSample =
    "; settings\n[Run]\nDefaultLanguage = English\n\n[English]\nCaption=Programmer\nQuoted=\"  padded  \"\n"
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
        {"\xEF\xBB\xBF[Run]\nk=v\n", "Run", "k", "v"},  // a byte-order mark before the first section
    };
    for (const auto& c : cases) EXPECT_EQ(IniFile::ReadFromText(c.text, c.section, c.key), c.value) << c.key;
    TempDir dir;
    EXPECT_EQ(IniFile::Read(dir.file("missing.ini").string(), "Run", "DefaultLanguage"), "");
}

// A key is replaced in place, added at the end of its section, or with a new
// section at the end of the text; every other line stays as it was. A value that
// can't be written leaves the file as it was.
TEST(IniFileWrite, ReplacesOrAddsKeepsEveryOtherLineAndFailsWithoutDamage) {
    std::string expected = kSample;
    expected.replace(expected.find("DefaultLanguage = English"), 25, "defaultlanguage=SimpleChinese");
    EXPECT_EQ(IniFile::WriteToText(kSample, "RUN", "defaultlanguage", "SimpleChinese"), expected);
    EXPECT_NE(IniFile::WriteToText(kSample, "Run", "DefaultChipName", "EN25T80")
                  .find("DefaultLanguage = English\nDefaultChipName=EN25T80\n\n[English]"),
              std::string::npos);
    EXPECT_EQ(IniFile::WriteToText("[A]\r\nx=1", "B", "y", "2"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    EXPECT_EQ(IniFile::WriteToText("", "Run", "k", "v"), "[Run]\nk=v\n");
    EXPECT_EQ(IniFile::WriteToText("\xEF\xBB\xBF[Run]\nk=v\n", "Run", "k", "w"), "\xEF\xBB\xBF[Run]\nk=w\n");

    TempDir dir;
    const auto path = dir.file("config.ini");
    ASSERT_TRUE(IniFile::Write(path.string(), "Run", "DefaultChipName", "W25Q64FV"));  // a new file
    EXPECT_EQ(IniFile::Read(path.string(), "run", "DEFAULTCHIPNAME"), "W25Q64FV");
    const std::string before = ReadFileText(path);
    EXPECT_FALSE(IniFile::Write(path.string(), "Run", "DefaultChipName", "two\nlines"));
    EXPECT_EQ(ReadFileText(path), before);
}

TEST(LogFile, EntryFormatAndAppending) {
    // 2026-03-05 07:08:09 local time (std::tm starts with the seconds); the milliseconds
    // come from the tick count.
    std::tm local{9, 8, 7, 5, 2, 126, 0, 0, -1, 0, nullptr};
    EXPECT_EQ(LogFile::FormatEntry("Read chip!", std::mktime(&local), 123456007),
              "\r\n2026/03/05/ 07:08:09.007: Read chip!");

    TempDir dir;
    const auto path = dir.file("log.txt").string();
    LogFile::Append(path, "one");
    LogFile::Append(path, "two\r\n\r\n");
    const std::regex entry(R"(\r\n\d{4}/\d\d/\d\d/ \d\d:\d\d:\d\d\.\d{3}: )");
    EXPECT_EQ(std::regex_replace(ReadFileText(path), entry, "|"), "|one|two\r\n\r\n");
    LogFile::Append(dir.file("missing/dir/log.txt").string(), "lost");
    LogFile::Append(dir.path().string(), "lost");  // a directory
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    LogFile::Append(dir.file("fifo").string(), "lost");  // nobody reads it
    LogFile::Append("", "lost");
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

    // Emptied only when above the size limit.
    std::filesystem::resize_file(path, LogFile::kSizeLimit);
    LogFile::Append(path, "kept");
    EXPECT_GT(std::filesystem::file_size(path), static_cast<uintmax_t>(LogFile::kSizeLimit));
    std::filesystem::resize_file(path, LogFile::kSizeLimit + 1);
    LogFile::Append(path, "fresh");
    const std::string text = ReadFileText(path);
    EXPECT_TRUE(text.size() < 64u && text.rfind("\r\n", 0) == 0 && text.ends_with(": fresh")) << text;
}

struct FakeEnvironment {
    std::map<std::string, std::string> values;
    std::string operator()(const char* name) const {
        auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
};

TEST(ProgramPaths, InstalledLayoutFollowsXdgPortableHasItsConfigBesideAndUpgradesKeepTheUsers) {
    FakeEnvironment environment{
        {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}, {"XDG_STATE_HOME", "rel"}, {"XDG_DATA_HOME", "/d"}}};
    const ProgramPaths paths = InstalledPaths("/usr/bin/", environment);
    EXPECT_TRUE(paths.installed);
    EXPECT_EQ(paths.dataDirectory, "/usr/share/qbr5150/");
    EXPECT_EQ(paths.configFile, "/cfg/qbr5150/config.ini");
    // A relative XDG value is not a base directory: the default below $HOME counts.
    EXPECT_EQ(paths.logDirectory, "/home/ann/.local/state/qbr5150/");
    EXPECT_EQ(paths.backupDirectory, "/d/qbr5150/backups/");
    EXPECT_EQ(InstalledPaths("/usr/bin/", FakeEnvironment{{{"HOME", "/home/ann"}}}).configFile,
              "/home/ann/.config/qbr5150/config.ini");

    TempDir dir;
    WriteFileText(dir.file("config.ini"), "[Run]\n");
    const ProgramPaths portable = ChooseProgramPaths(dir.dirText(), FakeEnvironment{});
    EXPECT_FALSE(portable.installed);
    EXPECT_EQ(portable.configFile, dir.dirText() + "config.ini");
    EXPECT_EQ(portable.dataDirectory + portable.logDirectory, dir.dirText() + dir.dirText());
    EXPECT_EQ(portable.backupDirectory, dir.dirText() + "backups/");

    // The first installed run copies the default config.ini; an upgrade brings the
    // Version texts (the About box) up to date and leaves the user's settings alone.
    TempDir root;
    std::filesystem::create_directories(root.file("usr/bin"));
    std::filesystem::create_directories(root.file("usr/share/qbr5150"));
    const auto packaged = root.file("usr/share/qbr5150/config.ini");
    WriteFileText(packaged, "[Run]\nDefaultLanguage=English\n[English]\nVersion=v1\n");
    environment.values = {{"HOME", root.file("home").string()}};
    const ProgramPaths first = ChooseProgramPaths(root.file("usr/bin").string() + "/", environment);
    EXPECT_TRUE(first.installed);
    EXPECT_EQ(ReadFileText(first.configFile), ReadFileText(packaged));
    EXPECT_TRUE(std::filesystem::is_directory(first.logDirectory));

    WriteFileText(first.configFile, "[Run]\nDefaultLanguage=SimpleChinese\n[English]\nVersion=v1\n");
    WriteFileText(packaged, "[Run]\nDefaultLanguage=English\n[English]\nVersion=v2\n");
    ChooseProgramPaths(root.file("usr/bin").string() + "/", environment);
    EXPECT_EQ(ReadFileText(first.configFile), "[Run]\nDefaultLanguage=SimpleChinese\n[English]\nVersion=v2\n");
}

// The language of a hand-edited config.ini: section and key in any case, the value
// exactly, a byte-order mark skipped. A value that selects no language gives
// English (never empty texts) and a message naming the key, the value and the file.
TEST(ConfigLanguage, AHandEditedSettingGivesTextsAndSaysWhatWasWrong) {
    const std::string english = "[English]\nLogFile=test.log\n";
    const struct {
        std::string config;
        const char* language;
        std::string problem;  // what the message says of the value; empty: no message
    } cases[] = {
        {"[Run]\nDefaultLanguage=English\n", kLanguageEnglish, ""},
        {"[Run]\nDefaultLanguage=SimpleChinese\n", kLanguageChinese, ""},
        {"\xEF\xBB\xBF[Run]\r\nDefaultLanguage=SimpleChinese\r\n", kLanguageChinese, ""},
        {"[RUN]\ndefaultlanguage = SimpleChinese\n", kLanguageChinese, ""},
        {"[Run]\nDefaultLanguage=english\n", kLanguageEnglish,
         "is \"english\", not English or SimpleChinese (written exactly so)"},
        {"[Run]\nDefaultLanguage=\n", kLanguageEnglish, "is missing or empty"},
        {"", kLanguageEnglish, "is missing or empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        ProgramDir dir(c.config + english);
        const std::string problem = LoadLanguageSetting();
        BuildMessageTable();
        EXPECT_EQ(GetLanguage(), c.language);
        EXPECT_FALSE(MessageText(kMsgProgrammerBusy).empty());
        const std::string key = "DefaultLanguage in section [Run] of " + dir.file("config.ini").string() + " ";
        EXPECT_EQ(problem, c.problem.empty() ? "" : key + c.problem + "; the texts are in English.");
    }
}

// Unknown ids and language names (they are case-sensitive) give empty texts.
TEST(MessageTable, EveryFixedTextExistsInBothLanguagesAndConfiguredRowsFollowTheSettings) {
    ProgramDir dir("");  // no config.ini: the configured rows stay empty
    for (const char* language : {"", "english"}) {
        SetLanguageForSession(language);
        EXPECT_EQ(MessageText(kMsgProgrammerBusy), "");
    }
    EXPECT_EQ(MessageText(kMessageCount), "");
    EXPECT_EQ(MessageText(-1), "");
    for (int id = 0; id < kMessageCount; ++id) {
        // Configured rows are empty without config.ini; rows 95 to 99 are no texts.
        const bool configured = id >= kMsgCaption && id <= kMsgDefaultChipName && id != kMsgAboutOk;
        SetLanguageForSession(kLanguageEnglish);
        EXPECT_EQ(MessageText(id).empty(), configured) << id;
        SetLanguageForSession(kLanguageChinese);
        EXPECT_EQ(MessageText(id).empty(), configured) << id;
    }

    // Configured rows come from the language sections, and the switch is stored.
    WriteFileText(dir.file("config.ini"), SampleConfig("SimpleChinese", "W25Q64FV"));
    dir.Reload();
    EXPECT_EQ(MessageText(kMsgNoProgrammer), "未发现有编程器连接到电脑!");
    EXPECT_EQ(MessageText(kMsgCaption), "Caption SimpleChinese");
    EXPECT_EQ(ConfiguredFilePath(ConfiguredFile::Log), dir.dirText() + "test.log");
    EXPECT_EQ(ConfiguredFilePath(ConfiguredFile::Manual), dir.dirText());  // absent key: the bare directory
    SetLanguage(kLanguageEnglish);
    SaveDefaultChipName("AT24C02");
    dir.Reload();
    EXPECT_EQ(GetLanguage(), "English");
    EXPECT_EQ(MessageText(kMsgNoProgrammer), "No programmer linked to computer!");
    EXPECT_EQ(MessageText(kMsgDefaultChipName), "AT24C02");
    EXPECT_EQ(MessageText(kMsgCaption), "Caption English");
}

}  // namespace
}  // namespace qbr
