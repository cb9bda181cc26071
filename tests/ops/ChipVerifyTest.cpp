// Verify Chip: the comparison while the read runs and the mismatch report.
#include "ops/ChipCommands.h"
#include "ops/OpsFixture.h"

namespace qbr {
namespace {

using test::Pattern;
using Strings = std::vector<std::string>;
using VerifyChip = test::OpsTest;

TEST_F(VerifyChip, MatchingChipsPassAlsoBelowAHundredBytes) {
    for (const char* name : {"TINY64", "W25X05"}) {
        Connect(name);
        FillChip(Pattern(core.selectedChip.capacity));
        FillBuffer(Pattern(core.selectedChip.capacity));
        OnVerifyChip(core);
        EXPECT_TRUE(core.lastStepOk) << name;
        EXPECT_TRUE(IsTimed(host.statusText, "Verify chip ok!")) << name;
        EXPECT_TRUE(host.boxes.empty());
    }
}

// At full USB speed the 2 MiB chip takes over a second to read; its first
// hundredth is enough to find a difference at offset 0.
TEST_F(VerifyChip, ADifferenceAtTheStartEndsTheReadAtOnce) {
    Connect("W25Q16").SetSpeed(SpeedModel::FullSpeed());
    core.buffer.bytes[0] = 0x12;
    OnVerifyChip(core);
    const std::string report = "Verify chip error!\r\n\r\nAddr:0x000000   \r\n Buf:0x12   \r\nChip:0xFF   ";
    EXPECT_EQ(host.boxes, Strings{report});
    EXPECT_EQ(host.statusText, "Verify chip error!");
    EXPECT_NE(Log().find(report), std::string::npos);
    EXPECT_FALSE(core.lastStepOk);
    EXPECT_EQ(core.protocol.State(), OperationState::Idle);
    EXPECT_LT(core.protocol.GetBytesRead(), 0x100000u);
}

TEST_F(VerifyChip, AnAddressAboveOneMebibyteKeepsSixDigits) {
    Connect("W25Q16").InjectFault({FaultKind::FlipByte, 0x123456});
    OnVerifyChip(core);
    EXPECT_EQ(host.boxes, Strings{"Verify chip error!\r\n\r\nAddr:0x123456   \r\n Buf:0xFF   \r\nChip:0x00   "});
}

}  // namespace
}  // namespace qbr
