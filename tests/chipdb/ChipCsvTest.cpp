// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipCsv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace qbr {
namespace {

const std::string kHeader = std::string(kChipCsvHeader) + "\n";
const std::string kRows =
    "0,EN25T80,EON,0,33,1048576,1,256,1C,14,0,8\n"
    "3,93C46(16BIT),GENERIC,255,50,128,0,2,FF,FF,6,16\n"
    "4294967295,,,0,0,0,4294967295,65535,00,0A,0,0\n";

std::string ErrorOf(const std::string& text) {
    try {
        ParseChipCsv(text);
    } catch (const ChipCsvError& e) {
        return e.what();
    }
    return "no error";
}

TEST(ChipCsv, MalformedRowsNameTheirLineAndField) {
    const std::string good = "0,A,B,0,33,1024,1,256,1C,14,0,8\n";
    const std::pair<std::string, std::string> cases[] = {
        {good + "0,A,B,0,33,1024,1,256,1C,14,0\n", "line 3: 11 fields"},
        {good + "0,A,B,0,33,1024,1,256,1C,14,0,8,\n", "line 3: more than 12 fields"},
        {good + "\n" + good, "line 3: empty line"},
        {"0,A,B,0,256,1024,1,256,1C,14,0,8\n", "line 2: voltage"},
        {"0,A,B,0,33,4294967296,1,256,1C,14,0,8\n", "line 2: capacity"},
        {"0,A,B,0,33,1024,1,256,C,14,0,8\n", "line 2: manufacturerId"},
        {"0," + std::string(40, 'A') + ",B,0,33,1024,1,256,1C,14,0,8\n", "longer than 39"},
    };
    for (const auto& [rows, message] : cases) {
        EXPECT_NE(ErrorOf(kHeader + rows).find(message), std::string::npos) << rows;
    }
    EXPECT_EQ(ErrorOf("type,name\n" + good).rfind("line 1:", 0), 0u);
    EXPECT_EQ(ParseChipCsv(std::string(kChipCsvHeader) + "\r\n0,A,B,0,33,1024,1,256,1c,14,0,8\r\n"),
              ParseChipCsv(kHeader + good.substr(0, good.size() - 1)));

    std::vector<ChipRecord> chips = ParseChipCsv(kHeader + kRows);
    chips[1].makerName = "A,B";
    EXPECT_THROW(FormatChipCsv(chips), ChipCsvError);
}

int RunTool(const std::string& arguments) {
    int status = std::system((QBR_RUNTIME_DIR "/qbr5150-chipdb " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ChipDbTool, RoundTripsBothWaysAndKeepsTheOldOutputOnErrors) {
    test::TempDir dir;
    const std::string csv = dir.file("in.csv"), dat = dir.file("out.dat"), back = dir.file("back.csv"),
                      again = dir.file("again.dat"), err = dir.file("err");
    test::WriteFileText(csv, kHeader + kRows);
    ASSERT_EQ(RunTool("build " + csv + " " + dat), 0);
    ASSERT_EQ(RunTool("dump " + dat + " " + back), 0);
    EXPECT_EQ(test::ReadFileText(back), kHeader + kRows);
    ASSERT_EQ(RunTool("build " + back + " " + again), 0);
    EXPECT_EQ(test::ReadFileText(again), test::ReadFileText(dat));

    test::WriteFileText(csv, kHeader + "0,A,B,0,33,1024,1,256,1C,14,0,8,9\n");
    EXPECT_EQ(RunTool("build " + csv + " " + dat + " 2>" + err), 1);
    EXPECT_NE(test::ReadFileText(err).find("line 2"), std::string::npos);
    EXPECT_EQ(test::ReadFileText(again), test::ReadFileText(dat));
    EXPECT_EQ(RunTool("dump " + csv + " - 2>/dev/null"), 1);
    EXPECT_EQ(RunTool("frobnicate a b 2>/dev/null"), 2);
}

}  // namespace
}  // namespace qbr
