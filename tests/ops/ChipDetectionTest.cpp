// SPDX-License-Identifier: GPL-3.0-or-later
// Detect Chip: identification bytes, database lookup and selection.
#include "ops/ChipDetection.h"
#include "ops/OpsFixture.h"

namespace qbr {
namespace {

using test::EmulatedChip;
using Strings = std::vector<std::string>;
using DetectChip = test::OpsTest;

TEST_F(DetectChip, AKnownPairSelectsTheFirstChipWithIt) {
    ConnectWith(test::OpsChips()[2], quick);  // W25Q16B: EF 14, like W25Q16 before it
    OnDetectChip(core);
    EXPECT_EQ(core.SelectedChip().chipName, "W25Q16");
    EXPECT_EQ(core.Buffer().activeLength, 0x200000u);
    const std::string result =
        "Chip type: W25Q16   \r\n(The real chip may be a compatible model of the same maker and "
        "capacity; reading and writing are not affected!)";
    EXPECT_EQ(host.boxes, Strings{result});
    EXPECT_TRUE(IsTimed(host.statusText, result));
}

// The EEPROM answers FF FF; looking that up would find 24C01, the first chip with it.
TEST_F(DetectChip, FfFfIsNoChipAndIsNeverLookedUp) {
    Connect("24C02");
    OnDetectChip(core);
    EXPECT_EQ(core.SelectedChip().chipName, "24C02");
    EXPECT_EQ(host.statusText, "Chip type is unknown!");
    EXPECT_EQ(host.boxes, Strings{"Chip type is unknown!ManufacturerID:FF\r\nDeviceID:FF"});
    EXPECT_NE(Log().find(": ManufacturerID:FF\r\nDeviceID:FF"), std::string::npos);
}

TEST_F(DetectChip, AnUnknownPairOrNoReplyKeepsTheSelection) {
    EmulatedProgrammer& programmer = ConnectWith(EmulatedChip(kSpiFlash, "GHOST", 0x10000, 1, 256, 0xC8, 0x05), quick);
    OnDetectChip(core);
    programmer.InjectFault({FaultKind::NoReply, 0});
    OnDetectChip(core);
    EXPECT_EQ(host.statusText, "Detect chip error!");
    EXPECT_EQ(host.boxes, (Strings{"Chip type is unknown!ManufacturerID:C8\r\nDeviceID:5", "Detect chip error!"}));
    EXPECT_EQ(core.SelectedChip().chipName, "W25X05");
}

}  // namespace
}  // namespace qbr
