// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/LogFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace qbr {
namespace {

using test::ReadFileText;
using test::TempDir;

TEST(LogFile, EntryFormat) {
    // 2026-03-05 07:08:09 local time; the milliseconds come from the tick count.
    std::tm local{};
    local.tm_year = 126;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 7;
    local.tm_min = 8;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    EXPECT_EQ(LogFile::FormatEntry("Read chip!", when, 123456007), "\r\n2026/03/05/ 07:08:09.007: Read chip!");
    EXPECT_EQ(LogFile::FormatEntry("", when, 999), "\r\n2026/03/05/ 07:08:09.999: ");
}

TEST(LogFile, AppendsEntriesToAFileItCanOpen) {
    TempDir dir;
    const auto path = dir.file("log.txt").string();
    LogFile::Append(path, "one");
    LogFile::Append(path, "two\r\n\r\n");
    const std::regex entry(R"(\r\n\d{4}/\d\d/\d\d/ \d\d:\d\d:\d\d\.\d{3}: )");
    const std::string text = ReadFileText(path);
    ASSERT_TRUE(std::regex_search(text, entry));
    EXPECT_EQ(std::regex_replace(text, entry, "|"), "|one|two\r\n\r\n");

    LogFile::Append(dir.file("missing/dir/log.txt").string(), "lost");
    LogFile::Append(dir.path().string(), "lost");  // a directory
    LogFile::Append("", "lost");
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST(LogFile, EmptiedOnlyWhenAboveTheSizeLimit) {
    TempDir dir;
    const auto path = dir.file("log.txt");
    test::WriteFileText(path, "");
    std::filesystem::resize_file(path, LogFile::kSizeLimit);
    LogFile::Append(path.string(), "kept");
    EXPECT_GT(std::filesystem::file_size(path), static_cast<uintmax_t>(LogFile::kSizeLimit));

    std::filesystem::resize_file(path, LogFile::kSizeLimit + 1);
    LogFile::Append(path.string(), "fresh");
    const std::string text = ReadFileText(path);
    EXPECT_EQ(text.substr(0, 2), "\r\n");
    EXPECT_EQ(text.substr(text.size() - 7), ": fresh");
    EXPECT_LT(text.size(), 64u);
}

}  // namespace
}  // namespace qbr
