// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipType.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace qbr {
namespace {

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
