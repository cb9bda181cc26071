// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipDatabaseFile.h"
#include "chipdb/ChipType.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace qbr {
namespace {

using Names = std::vector<std::string>;

ChipRecord Chip(uint32_t type, const std::string& name, const std::string& maker, uint8_t mfr = 0xFF,
                uint8_t dev = 0xFF) {
    return {type, name, maker, 0, 33, 1024, 1, 256, mfr, dev, 0, 8};
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

TEST(ChipDatabaseLoad, SizeRulesAndFailureLeavesItEmpty) {
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
}

TEST(ChipDatabaseLoad, FromFile) {
    test::TempDir dir;
    std::vector<uint8_t> file = EncodeDatabase({Chip(kSpiFlash, "EN25T80", "EON")});
    test::WriteFileText(dir.file("chips.dat"), std::string(file.begin(), file.end()) + "trailing");
    ChipDatabase database;
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
        EXPECT_TRUE(!microwire || chip.pageSize == chip.dataWidth / 8);
        if (chip.pageMode != 0) {
            // DataFlash pages may be 528 bytes, so only whole pages are required.
            EXPECT_TRUE(chip.pageSize >= 8 && chip.pageSize <= 1024 && chip.capacity % chip.pageSize == 0);
        }
    }
    for (uint32_t type = kSpiFlash; type <= kEeprom93; ++type) {
        std::vector<std::string> makers = database.ListMakers(type);
        EXPECT_FALSE(makers.empty());
        EXPECT_TRUE(std::is_sorted(makers.begin(), makers.end())) << ChipTypeName(type);
    }
    std::optional<ChipRecord> chip = database.FindByName("EN25T80");
    ASSERT_TRUE(chip);
    EXPECT_EQ(chip->makerName, "EON");
    EXPECT_EQ(chip->capacity, 1048576u);
}

}  // namespace
}  // namespace qbr
