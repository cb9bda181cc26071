// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/CapacityText.h"
#include "chipdb/ChipCsv.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipType.h"
#include "support/ProgramDir.h"
#include "support/TempDir.h"
#include "support/TestChip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <set>

namespace qbr {
namespace {

using Names = std::vector<std::string>;
using Bytes = std::array<uint8_t, 108>;

TEST(ChipDatabaseFile, FieldsSitAtTheirLittleEndianOffsets) {
    const ChipRecord chip = test::TestChip("93C46(16BIT)")
                                .Type(0x04030201)
                                .Maker("GENERIC")
                                .Spare(0x11)
                                .Volts(50)
                                .Capacity(0x0A0B0C0D)
                                .Pages(0x01020304, 0x0201)
                                .Id(0x1C, 0xFE)
                                .Organisation(6, 16);
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
    EXPECT_TRUE(file[0] == 0x2C && file[1] == 0x01 &&
                std::all_of(file.begin() + 2, file.begin() + 100, [](uint8_t byte) { return byte == 0; }));
}

ChipRecord Chip(uint32_t type, const std::string& name, const std::string& maker, uint8_t mfr = 0xFF,
                uint8_t dev = 0xFF) {
    return test::TestChip(name).Type(type).Maker(maker).Capacity(1024).Id(mfr, dev);
}

TEST(ChipDatabaseFile, NamesStayInsideTheirFields) {
    Bytes bytes{};
    std::memset(&bytes[4], 'C', 60);  // both names without NUL, followed by the spare byte
    EXPECT_EQ(DecodeRecord(bytes).chipName, std::string(40, 'C'));
    EXPECT_EQ(DecodeRecord(bytes).makerName, std::string(20, 'C'));

    EncodeRecord(Chip(kSpiFlash, std::string(39, 'C'), std::string(19, 'M')), bytes);
    EXPECT_EQ(DecodeRecord(bytes), Chip(kSpiFlash, std::string(39, 'C'), std::string(19, 'M')));
    EXPECT_THROW(EncodeRecord(Chip(kSpiFlash, std::string(40, 'C'), "M"), bytes), std::invalid_argument);
    EXPECT_THROW(EncodeRecord(Chip(kSpiFlash, "C", std::string(20, 'M')), bytes), std::invalid_argument);
    EXPECT_THROW(EncodeRecord(Chip(kSpiFlash, "C", std::string("M\0N", 3)), bytes), std::invalid_argument);
    EXPECT_THROW(EncodeDatabase(std::vector<ChipRecord>(2001)), std::invalid_argument);
}

// The list rows' short text and the window's long one, which has mega units and,
// for x16 words, the byte-order note.
TEST(CapacityText, EveryUnitShortAndLong) {
    test::ProgramDir dir(test::SampleConfig("English"));
    const std::string note = "\r\n\r\n(High 8 bits first, low 8 bits followed)";
    const struct {
        uint32_t type, capacity;
        uint8_t width;
        std::string shortText, longText;
    } cases[] = {
        {kSpiFlash, 0x100000, 8, "1024KB", "1MB"},
        {kSpiFlash, 16 * 1024 * 1024 + 1536, 8, "16385KB", "16MB"},
        {kEeprom24, 1023, 8, "1023B", "1023B"},
        {kEeprom93, 2048, 8, "2K x8bit", "2K x8bit"},
        {kEeprom93, 1023, 8, "1023 x8bit", "1023 x8bit"},
        {kEeprom93, 2048, 16, "1K x16bit", "1K x16bit" + note},
        {kEeprom93, 2047, 16, "1023 x16bit", "1023 x16bit" + note},
        {kEeprom93, 128, 0, "64 x16bit", "64 x16bit" + note},  // any width but 8 counts as 16
        {kEeprom93, 0x200000, 16, "1024K x16bit", "1M x16bit" + note},
    };
    for (const auto& c : cases) {
        const ChipRecord chip{c.type, "", "", 0, 0, c.capacity, 0, 0, 0, 0, 0, c.width};
        EXPECT_EQ(ShortCapacityText(chip), c.shortText);
        EXPECT_EQ(LongCapacityText(chip), c.longText + "\r\n\r\n");
    }
    EXPECT_EQ(ChipTypeName(AllTypes), "UNKNOWN");
    EXPECT_EQ(ChipTypeFromName(ChipTypeName(kEeprom93)), kEeprom93);
}

Names NamesOf(const std::vector<ChipRecord>& chips) {
    Names names;
    for (const ChipRecord& chip : chips) names.push_back(chip.chipName);
    return names;
}

ChipDatabase Loaded(const std::vector<ChipRecord>& chips) {
    ChipDatabase database;
    EXPECT_TRUE(database.LoadFromBytes(EncodeDatabase(chips)));
    return database;
}

TEST(ChipDatabaseLoad, SizeRulesFilesAndFailureLeavesItEmpty) {
    ChipDatabase database;
    EXPECT_TRUE(database.LoadFromBytes(std::vector<uint8_t>(100, 0)));
    std::vector<uint8_t> file = EncodeDatabase({Chip(kSpiFlash, "A", "M"), Chip(kEeprom24, "B", "M")});
    std::vector<uint8_t> trailing = file;
    trailing.insert(trailing.end(), 150, 0xAB);
    ASSERT_TRUE(database.LoadFromBytes(trailing));
    EXPECT_EQ(NamesOf(database.Records()), (Names{"A", "B"}));

    file[0] = 3;  // one record more than the file holds
    EXPECT_FALSE(database.LoadFromBytes(file));
    EXPECT_EQ(database.RecordCount(), 0u);
    EXPECT_FALSE(database.LoadFromBytes(std::vector<uint8_t>(99, 0)));
    std::vector<uint8_t> tooMany(100 + 108 * 2001, 0);
    tooMany[0] = 2001 & 0xFF;
    tooMany[1] = 2001 >> 8;
    EXPECT_FALSE(database.LoadFromBytes(tooMany));

    test::TempDir dir;
    file = EncodeDatabase({Chip(kSpiFlash, "EN25T80", "EON")});
    test::WriteFileText(dir.file("chips.dat"), std::string(file.begin(), file.end()));
    ASSERT_TRUE(database.Load(dir.file("chips.dat").string()));
    EXPECT_EQ(database.Records(), std::vector<ChipRecord>{Chip(kSpiFlash, "EN25T80", "EON")});
    EXPECT_FALSE(database.Load(dir.file("missing.dat").string()));
    EXPECT_EQ(database.RecordCount(), 0u);
    EXPECT_FALSE(database.Load(dir.path().string()));
}

TEST(ChipDatabaseLookup, FirstInFileOrderWithExactNamesAndBothIdBytes) {
    ChipDatabase database = Loaded({Chip(kSpiFlash, "W25Q80", "A", 0xEF, 0x14), Chip(kEeprom24, "24C02", "B"),
                                    Chip(kSpiFlash, "W25Q80", "C", 0xEF, 0x15), Chip(kEeprom24, "24C04", "A")});
    EXPECT_EQ(database.ListMakers(AllTypes), (Names{"A", "B", "C"}));
    EXPECT_EQ(database.ListMakers(kEeprom24), (Names{"B", "A"}));
    EXPECT_EQ(database.FindByName("W25Q80")->makerName, "A");
    EXPECT_FALSE(database.FindByName("W25Q8"));
    EXPECT_FALSE(database.FindByName("w25q80"));
    EXPECT_EQ(NamesOf(database.ListByMaker("A", AllTypes)), (Names{"W25Q80", "24C04"}));
    EXPECT_EQ(NamesOf(database.ListByMaker("A", kEeprom24)), (Names{"24C04"}));
    EXPECT_EQ(database.FindById(0xEF, 0x15)->makerName, "C");
    EXPECT_FALSE(database.FindById(0xEF, 0x16));
}

TEST(ChipDatabaseSearch, FragmentsMatchInOrderWithoutOverlap) {
    ChipDatabase database = Loaded({Chip(kSpiFlash, "EN25T80", "X"), Chip(kSpiFlash, "80EN25", "X"),
                                    Chip(kSpiFlash, "EN2580", "X"), Chip(kEeprom25, "XEN25Q80Y", "X"),
                                    Chip(kSpiFlash, "X258", "X"), Chip(kSpiFlash, "X2558", "X"),
                                    Chip(kEeprom24, std::string(20, 'A'), "X")});
    EXPECT_EQ(NamesOf(database.SearchByPattern("EN25*80", AllTypes)), (Names{"EN25T80", "EN2580", "XEN25Q80Y"}));
    EXPECT_EQ(NamesOf(database.SearchByPattern("**EN25**80*", kSpiFlash)), (Names{"EN25T80", "EN2580"}));
    EXPECT_EQ(NamesOf(database.SearchByPattern("25*58", AllTypes)), (Names{"X2558"}));  // no sharing the "5"
    EXPECT_TRUE(database.SearchByPattern("en25", AllTypes).empty());
    EXPECT_EQ(database.SearchByPattern("***", kSpiFlash).size(), 5u);
    EXPECT_EQ(database.SearchByPattern("", AllTypes).size(), 7u);
    EXPECT_TRUE(database.SearchByPattern("*", kEeprom93).empty());
    EXPECT_EQ(NamesOf(database.SearchByPattern("EN", AllTypes, 2)), (Names{"EN25T80", "80EN25"}));

    // Only the first twenty fragments count; stars alone make none.
    std::string twentyAs;
    for (int i = 0; i < 20; ++i) twentyAs += "A*";
    EXPECT_EQ(NamesOf(database.SearchByPattern(twentyAs + "B", AllTypes)), (Names{std::string(20, 'A')}));
    EXPECT_EQ(NamesOf(database.SearchByPattern("Q*" + std::string(300, '*') + "Y", AllTypes)), (Names{"XEN25Q80Y"}));
}

TEST(ShippedDatabase, EveryRecordIsUsableAndMakersAreListedAlphabetically) {
    ChipDatabase database;
    ASSERT_TRUE(database.Load(QBR_RUNTIME_DIR "/chips.dat"));
    std::set<std::string> names;
    for (const ChipRecord& chip : database.Records()) {
        SCOPED_TRACE(chip.chipName);
        EXPECT_TRUE(names.insert(chip.chipName).second) << "duplicate name";
        EXPECT_TRUE(!chip.chipName.empty() && chip.chipName.size() <= 39);
        EXPECT_TRUE(!chip.makerName.empty() && chip.makerName.size() <= 19);
        EXPECT_LE(chip.chipType, uint32_t{kEeprom93});
        EXPECT_TRUE(chip.capacity > 0 && chip.capacity <= 16u * 1024 * 1024);
        EXPECT_TRUE(chip.voltage == 18 || chip.voltage == 33 || chip.voltage == 50);
        const bool microwire = chip.chipType == kEeprom93;
        EXPECT_TRUE(chip.dataWidth == 8 || (microwire && chip.dataWidth == 16));
        // 93-series: one word a page, and address bits (of the x16 words) that just cover the chip.
        const uint64_t words = chip.capacity / 2, addressable = uint64_t{1} << std::min<int>(chip.modeParam, 40);
        EXPECT_TRUE(!microwire ||
                    (chip.pageSize == chip.dataWidth / 8 && words <= addressable && addressable <= 2 * words));
        // Pages of powers of two within the chip; DataFlash without a binary page mode keeps its 528 bytes.
        const bool nativeDataFlash = chip.pageSize % 264 == 0 && chip.capacity % chip.pageSize == 0;
        EXPECT_TRUE(chip.pageMode == 0 ||
                    ((std::has_single_bit(chip.pageSize) || nativeDataFlash) && chip.pageSize >= 8 &&
                     chip.pageSize <= std::min<uint32_t>(1024, chip.capacity)));
    }
    EXPECT_GE(names.size(), 1100u);
    for (uint32_t type = kSpiFlash; type <= kEeprom93; ++type) {
        std::vector<std::string> makers = database.ListMakers(type);
        EXPECT_FALSE(makers.empty());
        EXPECT_TRUE(std::is_sorted(makers.begin(), makers.end())) << ChipTypeName(type);
    }
}

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
    EXPECT_EQ(FormatChipCsv(chips), kHeader + kRows);
    chips[1].makerName = "A,B";
    EXPECT_THROW(FormatChipCsv(chips), ChipCsvError);
}

}  // namespace
}  // namespace qbr
