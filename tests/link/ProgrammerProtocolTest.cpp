// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatorSession.h"
#include "link/FakeDeviceLibrary.h"
#include "link/LibraryPath.h"
#include "link/ProgrammerProtocol.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

namespace qbr {
namespace {

using test::Bytes;
using namespace std::chrono_literals;

class Protocol : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(link.Open());
        protocol.AttachLink(link);
        protocol.SetChipParameters({0, "", "", 0, 50, 0x100000, 0, 0, 0, 0, 0, 0});
    }

    PollResult PollToEnd(PollResult running) {
        PollResult result = running;
        while ((result = protocol.PollOperation()) == running) std::this_thread::sleep_for(1ms);
        return result;
    }

    test::FakeDeviceLibrary library;
    UsbLink link{std::make_unique<LibraryPath>(library), test::FastTimings()};
    ProgrammerProtocol protocol;
    Bytes buffer = Bytes(0x8000);
};

// One byte past a chunk edge, after a stray reply to another request that is passed over.
TEST_F(Protocol, ChipReadAndWriteRequestsAndTransfers) {
    library.QueueRead({0x14, 0x01, 0x01});
    library.QueueRead({0x11, 0x01, 0x00});
    library.QueueRead(Bytes(4096, 0x5A));
    library.QueueRead(Bytes(1, 0x5B));
    ASSERT_TRUE(protocol.StartChipRead(buffer.data(), 0x10000, 4097));
    EXPECT_EQ(library.Writes().at(0),
              (Bytes{0x11, 0x0A, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x10, 0x01, 0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(PollToEnd(PollResult::Reading), PollResult::Done);
    EXPECT_EQ(protocol.GetPercent(), 100);
    EXPECT_EQ(protocol.GetBytesRead(), 4097u);
    EXPECT_EQ(buffer[4096], 0x5B);

    library.QueueRead({0x12, 0x01, 0x01});
    ASSERT_TRUE(protocol.StartChipWrite(buffer.data(), 0x20, 0x8000, 0x100));
    EXPECT_EQ(PollToEnd(PollResult::Writing), PollResult::Done);
    const auto writes = library.Writes();
    EXPECT_EQ(writes.at(1), (Bytes{0x12, 0x0C, 0x01, 0, 0, 0, 0x20, 0, 0, 0x80, 0, 0x01, 0x00, 0x03, 0, 0, 0}));
    EXPECT_EQ(writes.size(), 2u + 8u);
}

// Only the chip ID and the busy status are asked for while an operation runs. A
// refused status and a stalled read are in the fault matrix.
TEST_F(Protocol, AnEraseLetsOnlyTheChipIdAndTheStatusBeAskedFor) {
    EXPECT_EQ(protocol.PollOperation(), PollResult::Done);

    library.QueueRead({0x14, 0x01, 0x01});
    ASSERT_TRUE(protocol.StartChipErase());
    const size_t writes = library.Writes().size();
    std::array<uint8_t, ProgrammerProtocol::kSerialSize> serial{};
    EXPECT_FALSE(protocol.ReadSerialNumber(serial));
    EXPECT_FALSE(protocol.StartChipRead(buffer.data(), 0, 1));
    EXPECT_FALSE(protocol.StartFirmwareUpdate(buffer.data(), 1));
    EXPECT_EQ(library.Writes().size(), writes);
    library.QueueRead({0x15, 0x02, 0xFF, 0xFF, 0x00});
    std::array<uint8_t, 2> id{};
    EXPECT_TRUE(protocol.ReadChipId(id));
    library.QueueRead({0x13, 0x01, 0x01});
    EXPECT_EQ(protocol.PollOperation(), PollResult::Busy);
    EXPECT_EQ(protocol.GetPercent(), 0);
    library.QueueRead({0x13, 0x01, 0x00});
    EXPECT_EQ(protocol.PollOperation(), PollResult::Done);
    EXPECT_EQ(protocol.GetPercent(), 100);
    EXPECT_EQ(library.Writes().back(), (Bytes{0x13, 0x00, 0x01}));
}

TEST_F(Protocol, FirmwareUpdateRequestChecksumAndEcho) {
    Bytes reply = {0xF2, 'U', 'S', 'B', ' ', 'B', 'O', 'O', 'T', ' ', 'C', 'O', 'M', 'M', 'A', 'N', 'D', 0, 1};
    library.QueueRead(reply);
    ASSERT_TRUE(protocol.StartFirmwareUpdate(buffer.data(), 0x8000));
    const Bytes request = library.Writes().at(0);
    ASSERT_EQ(request.size(), 23u);
    EXPECT_EQ(Bytes(request.begin() + 18, request.begin() + 22), (Bytes{0x00, 0x00, 0x80, 0x00}));
    EXPECT_EQ(std::accumulate(request.begin(), request.end(), 0u) % 256, 0u);
    EXPECT_EQ(PollToEnd(PollResult::Writing), PollResult::Done);

    reply[5] = 'X';  // the echo must match
    library.QueueRead(reply);
    EXPECT_FALSE(protocol.StartFirmwareUpdate(buffer.data(), 0x8000));
}

// A protocol on an opened link to an emulated programmer with `chip` in its socket.
struct EmulatedLink {
    explicit EmulatedLink(const ChipRecord& chip, LinkTimings timings = {})
        : programmer(chip), link(std::make_unique<LibraryPath>(programmer), timings) {
        protocol.AttachLink(link);
        EXPECT_TRUE(link.Open() && protocol.SetChipParameters(chip));
    }
    EmulatedProgrammer programmer;
    UsbLink link;
    ProgrammerProtocol protocol;
};

// The percentage of a running transfer counts against that transfer's own total,
// here 16 KiB written in four chunks after a 64 KiB read.
TEST(ProtocolProgress, FollowsTheRunningTransfer) {
    EmulatedLink emulated(test::kTestFlash);
    auto& [programmer, link, protocol] = emulated;
    Bytes data(64 * 1024);
    ASSERT_TRUE(protocol.StartChipRead(data.data(), 0, 64 * 1024));
    while (protocol.PollOperation() == PollResult::Reading) std::this_thread::sleep_for(1ms);
    programmer.SetSpeed({200'000, std::chrono::microseconds(0)});  // 20 ms a chunk
    ASSERT_TRUE(protocol.StartChipWrite(data.data(), 0, 16 * 1024, 256));
    uint16_t most = 0;
    while (protocol.PollOperation() == PollResult::Writing) {
        most = std::max(most, protocol.GetPercent());
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_GE(most, 50);
    EXPECT_EQ(protocol.GetPercent(), 100);
}

// The erase time limit follows the chip's size: three times the slowest whole-chip
// erase datasheets give (20 s per MiB, rounded up, at least 10 s). A programmer
// that stays busy is given up once its chip's limit has passed, in the link's time
// (a clock moved 5 s per poll, across the tick's wrap).
TEST(EraseTimeLimit, FollowsTheChipSizeAndEndsAnEraseThatNeverEnds) {
    constexpr uint32_t kMiB = 1 << 20, kStepMs = 5000;
    const struct {
        uint32_t capacity;
        uint32_t limitMs;
    } rows[] = {
        {0, 30000},        {64 * 1024, 30000}, {kMiB / 2, 30000},  {kMiB / 2 + 1, 30003}, {kMiB, 60000},
        {kMiB + 1, 60003}, {2 * kMiB, 120000}, {8 * kMiB, 480000}, {16 * kMiB, 960000},   {UINT32_MAX, 245760000},
    };
    for (const auto& row : rows) EXPECT_EQ(EraseTimeLimitMs(row.capacity), row.limitMs) << row.capacity;
    for (const uint32_t capacity : {kMiB, 16 * kMiB}) {
        SCOPED_TRACE(capacity);
        std::atomic<uint32_t> now{0xFFFF0000};
        LinkTimings timings = test::FastTimings();
        timings.clock = [&now] { return now.load(); };
        EmulatedLink emulated(test::TestChip("TESTFLASH").Capacity(capacity).Id(0xEF, 0x14), timings);
        auto& [programmer, link, protocol] = emulated;
        programmer.InjectFault({FaultKind::BusyForever, 0});
        ASSERT_TRUE(protocol.StartChipErase());
        uint32_t busyMs = 0;
        for (; protocol.PollOperation() == PollResult::Busy && busyMs < 3600000; busyMs += kStepMs) now += kStepMs;
        EXPECT_EQ(busyMs, EraseTimeLimitMs(capacity) + kStepMs);
        EXPECT_EQ(protocol.State(), OperationState::Idle);
    }
}

}  // namespace
}  // namespace qbr
