// SPDX-License-Identifier: GPL-3.0-or-later
// Serial numbers of a production run: their form in the image, the counter file
// that never hands a number out twice, and the production log.
#include "ops/ProductionLog.h"
#include "ops/SerialCounter.h"
#include "ops/SerialNumber.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qbr {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(SerialFormat, ParsesAndPlacesEachForm) {
    const std::pair<const char*, std::optional<Bytes>> cases[] = {
        {"0x100,dec,8", Bytes{'0', '0', '0', '0', '4', '6', '6', '0'}},
        {"16,hex,4", Bytes{'1', '2', '3', '4'}},
        {"0,le,2", Bytes{0x34, 0x12}},
        {"0,be,3", Bytes{0x00, 0x12, 0x34}},
        {"0,dec,3", std::nullopt},  // 4660 needs four digits
        {"0,le,1", std::nullopt},
    };
    for (const auto& [text, bytes] : cases) {
        const std::optional<SerialFormat> format = SerialFormat::Parse(text);
        ASSERT_TRUE(format) << text;
        EXPECT_EQ(format->Bytes(0x1234), bytes) << text;
    }
    EXPECT_EQ(SerialFormat::Parse("0x100,dec,8")->address, 0x100u);
    for (const char* bad : {"", "0x100", "0x100,dec", "1,oct,4", "1,le,9", "1,dec,0", "x,dec,4", "1,dec,4,5"}) {
        EXPECT_FALSE(SerialFormat::Parse(bad)) << bad;
    }
}

// A number is saved as taken before it is used: a run that crashes skips it, a
// second run on the same counter is refused, and a counter that can't be saved
// gives no number at all.
TEST(SerialCounter, NeverHandsANumberOutTwice) {
    const test::TempDir dir;
    const std::string path = dir.file("n.txt").string();
    SerialCounter::Problem problem = SerialCounter::Problem::None;
    EXPECT_FALSE(SerialCounter::Open(path, std::nullopt, problem));
    EXPECT_EQ(problem, SerialCounter::Problem::Missing);
    {
        auto counter = SerialCounter::Open(path, 7, problem);
        ASSERT_TRUE(counter);
        EXPECT_FALSE(SerialCounter::Open(path, 7, problem));
        EXPECT_EQ(problem, SerialCounter::Problem::InUse);
        EXPECT_EQ(counter->Take(), 7u);
        EXPECT_EQ(counter->Take(), 8u);  // two chips in work at once
        EXPECT_EQ(counter->Take(), 9u);
        EXPECT_TRUE(counter->Finish(8));  // and the run ends before 7 and 9 are done
    }
    auto counter = SerialCounter::Open(path, 1, problem);  // the start is for a new file only
    ASSERT_TRUE(counter);
    EXPECT_EQ(counter->Unfinished(), (std::vector<uint64_t>{7, 9}));
    EXPECT_EQ(counter->Take(), 10u);
    EXPECT_EQ(test::ReadFileText(path), "11\ntaken 10\n");
    std::filesystem::rename(dir.path(), dir.path().string() + "-gone");  // the disk refuses every write
    EXPECT_EQ(counter->Take(), std::nullopt);
    std::filesystem::rename(dir.path().string() + "-gone", dir.path());
    EXPECT_EQ(counter->Take(), 11u);

    EXPECT_EQ(SerialCounter::Open(dir.file("last.txt").string(), UINT64_MAX, problem)->Take(), std::nullopt);
    test::WriteFileText(dir.file("bad.txt"), "12\nlost 3\n");
    EXPECT_FALSE(SerialCounter::Open(dir.file("bad.txt").string(), 1, problem));
    EXPECT_EQ(problem, SerialCounter::Problem::Malformed);
}

TEST(ProductionLog, AppendsLinesUnderOneHeader) {
    const test::TempDir dir;
    const std::string path = dir.file("log.csv").string();
    ProductionRecord record{0, "1-1.2", "W25Q64FV", "auto", 42, "ok", "0badf00d", 1500};
    ASSERT_TRUE(AppendProductionRecord(path, record));
    record.chip = "A,\"B\"";
    record.serial.reset();
    record.crc32.clear();
    ASSERT_TRUE(AppendProductionRecord(path, record));
    const std::string text = test::ReadFileText(path);
    EXPECT_TRUE(text.starts_with("time,programmer,chip,command,serial,result,crc32,elapsed_ms\n19")) << text;
    EXPECT_NE(text.find(",1-1.2,W25Q64FV,auto,42,ok,0badf00d,1500\n"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with(",1-1.2,\"A,\"\"B\"\"\",auto,,ok,,1500\n")) << text;
    EXPECT_FALSE(AppendProductionRecord(dir.file("none/log.csv").string(), record));
}

}  // namespace
}  // namespace qbr
