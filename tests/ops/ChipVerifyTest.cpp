// SPDX-License-Identifier: GPL-3.0-or-later
// Verify Chip: the comparison while the read runs and the mismatch report.
#include "ops/ChipCommands.h"
#include "ops/Maintenance.h"
#include "ops/OpsFixture.h"

namespace qbr {
namespace {

using test::Pattern;
using Strings = std::vector<std::string>;
using VerifyChip = test::OpsTest;

TEST_F(VerifyChip, MatchingChipsPassAlsoBelowAHundredBytes) {
    for (const char* name : {"TINY64", "W25X05"}) {
        Connect(name);
        SetChipBytes(Pattern(core.SelectedChip().capacity));
        FillBuffer(Pattern(core.SelectedChip().capacity));
        EXPECT_TRUE(OnVerifyChip(core).Ok()) << name;
        EXPECT_TRUE(IsTimed(host.statusText, "Verify chip ok!")) << name;
        EXPECT_TRUE(host.boxes.empty());
    }
}

// At full USB speed the 2 MiB chip takes over a second to read; its first
// hundredth is enough to find a difference at offset 0.
TEST_F(VerifyChip, ADifferenceAtTheStartEndsTheReadAtOnce) {
    Connect("W25Q16").SetSpeed(SpeedModel::FullSpeed());
    core.Buffer().bytes[0] = 0x12;
    const CommandResult result = OnVerifyChip(core);
    ASSERT_TRUE(result.mismatch);
    EXPECT_EQ(result.mismatch->address, 0u);
    EXPECT_EQ(result.mismatch->chipByte, 0xFF);
    const std::string report = "Verify chip error!\r\n\r\nAddr:0x000000   \r\n Buf:0x12   \r\nChip:0xFF   ";
    EXPECT_EQ(host.boxes, Strings{report});
    EXPECT_EQ(host.statusText, "Verify chip error!");
    EXPECT_NE(Log().find(report), std::string::npos);
    EXPECT_EQ(core.Protocol().State(), OperationState::Idle);
    EXPECT_LT(core.Protocol().GetBytesRead(), 0x100000u);

    // The programmer still sends the rest of the read the host gave up; the next
    // command waits for it and works.
    OnReadFirmwareVersion(core);
    EXPECT_TRUE(host.statusText.starts_with("Firmware version:  QBR5150")) << host.statusText;
}

// Up to the chip's last byte, which arrives with the read's end.
TEST_F(VerifyChip, AnAddressAboveOneMebibyteKeepsSixDigits) {
    for (const std::string address : {"123456", "1FFFFF"}) {
        Connect("W25Q16").InjectFault({FaultKind::FlipByte, std::stoul(address, nullptr, 16)});
        OnVerifyChip(core);
        const std::string report = "Verify chip error!\r\n\r\nAddr:0x" + address +
                                   "   \r\n Buf:0xFF   \r\nChip:0x00   ";
        EXPECT_EQ(host.boxes, Strings{report});
    }
}

}  // namespace
}  // namespace qbr
