// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Language.h"
#include "base/MessageTable.h"
#include "chipdb/ChipType.h"
#include "core/CommandId.h"
#include "core/ProgrammerCore.h"
#include "support/CoreFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qbr {
namespace {

using test::SampleConfig;

using ProgrammerCoreTest = test::CoreFixture;
const std::vector<ChipRecord>& kChips = test::SampleChips();

TEST_F(ProgrammerCoreTest, StartSelectsTheConfiguredChipAndShowsIt) {
    Prepare(SampleConfig("English", "24C02"));
    ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
    EXPECT_EQ(core.SelectedChip().chipName, "24C02");
    EXPECT_EQ(core.Buffer().activeLength, 256u);
    EXPECT_EQ(core.Buffer().bytes[0], 0xFF);
    EXPECT_EQ(host.selectors.types, (std::vector<std::string>{"24 EEPROM", "25 EEPROM", "93 EEPROM", "SPI FLASH"}));
    EXPECT_EQ(host.selectors.typeIndex, 0);
    EXPECT_EQ(host.selectors.makers, (std::vector<std::string>{"ATMEL", "ZETA"}));
    EXPECT_EQ(host.selectors.makerIndex, 1);
    EXPECT_EQ(host.selectors.chips, (std::vector<std::string>{"24C02", "24C16"}));
    EXPECT_EQ(host.selectors.chipIndex, 0);
    EXPECT_EQ(host.capacityText, "256B\r\n\r\n");
    EXPECT_EQ(host.offeredFor, kEeprom24);
    EXPECT_EQ(host.statusText, "24C02");
    EXPECT_EQ(host.hexViewFocus, 1);
    EXPECT_NE(Log().find("Chip:24C02, ManuZETA, 256B\r\n\r\n"), std::string::npos);
    EXPECT_NE(Log().find(": ShowInfo: 24C02"), std::string::npos);
}

TEST_F(ProgrammerCoreTest, DefaultChipFallsBackToEN25T80ThenToTheFirstRecord) {
    for (const char* configured : {"", "NOSUCHCHIP"}) {
        Prepare(SampleConfig("English", configured));
        ProgrammerCore fresh(host);
        ASSERT_EQ(fresh.Start(), ProgrammerCore::StartResult::Ready);
        EXPECT_EQ(fresh.SelectedChip().chipName, "EN25T80");
        EXPECT_EQ(host.offeredFor, kSpiFlash);
        EXPECT_NE(dir->config().find("DefaultChipName=EN25T80"), std::string::npos);
    }
    Prepare(SampleConfig("English", "NOSUCHCHIP"), {kChips[4], kChips[5]});
    ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
    EXPECT_EQ(core.SelectedChip().chipName, "24C16");
}

TEST_F(ProgrammerCoreTest, MissingOrEmptyDatabaseIsReportedAndNothingIsSelected) {
    Prepare(SampleConfig("English"), {});
    EXPECT_EQ(core.Start(), ProgrammerCore::StartResult::DatabaseError);
    std::filesystem::remove(dir->file("chips.dat"));
    ProgrammerCore missing(host);
    EXPECT_EQ(missing.Start(), ProgrammerCore::StartResult::DatabaseError);
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Database error!", "Database error!"}));
    EXPECT_FALSE(missing.IsReady());
    EXPECT_EQ(host.statusText, "");
}

TEST_F(ProgrammerCoreTest, SelectorChangesNarrowFromTypeToMakerToChip) {
    Prepare(SampleConfig("English", "EN25T80"));
    ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
    const int binds = host.hexViewBinds;

    core.OnChipTypeChanged("SPI FLASH");  // the type already selected: nothing happens
    EXPECT_EQ(host.hexViewBinds, binds);

    core.OnChipTypeChanged("24 EEPROM");  // first maker in the list, its first chip
    EXPECT_EQ(host.selectors.makers[host.selectors.makerIndex], "ATMEL");
    EXPECT_EQ(core.SelectedChip().chipName, "AT24C02");
    EXPECT_EQ(core.Buffer().activeLength, 256u);
    EXPECT_EQ(host.offeredFor, kEeprom24);
    EXPECT_NE(dir->config().find("DefaultChipName=AT24C02"), std::string::npos);

    core.OnMakerChanged("ZETA");
    EXPECT_EQ(core.SelectedChip().chipName, "24C02");
    core.OnChipNameChanged("24C16");
    EXPECT_EQ(core.Buffer().activeLength, 2048u);

    core.OnChipTypeChanged("SPI FLASH");  // chip names sort without regard to case
    EXPECT_EQ(core.SelectedChip().chipName, "A25L080");
    core.OnMakerChanged("EON");
    EXPECT_EQ(host.selectors.chips, (std::vector<std::string>{"en25b40", "EN25Q80", "EN25T80"}));
    EXPECT_EQ(core.SelectedChip().chipName, "en25b40");
    EXPECT_EQ(host.offeredFor, kSpiFlash);
}

TEST_F(ProgrammerCoreTest, UnknownChipNameKeepsTheSelectedChip) {
    Prepare(SampleConfig("English"));
    ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
    core.OnChipTypeChanged("93 EEPROM");  // a type without chips: the name list is empty
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Database error!"}));
    EXPECT_EQ(core.SelectedChip().chipName, "EN25T80");
    EXPECT_EQ(core.Buffer().activeLength, 0x100000u);
}

}  // namespace
}  // namespace qbr
