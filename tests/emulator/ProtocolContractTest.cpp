// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/EmulatorSession.h"
#include "support/Pattern.h"

#include <string>
#include <thread>

namespace qbr::test {
namespace {

constexpr uint32_t kMiB = 1024 * 1024;
// Twenty characters: the serial number fills its whole reply.
constexpr const char* kSerialNumber = "QBR5150-EMU-00000001";

// A read after a request: the room it gives, and the bytes it must end with, or kFails.
struct PipeRead {
    uint32_t room;
    int64_t received;
};
constexpr int64_t kFails = -1;

}  // namespace

void ProtocolContract::SetUp() {
    chip = test::TestChip("TESTFLASH8").Capacity(kMiB).Id(0x1C, 0x14);
    device = GetParam().make(chip);
    device->Programmer().SetSerialNumber(kSerialNumber);
    protocol.AttachLink(device->Link());
    ASSERT_TRUE(device->Link().Open());
    protocol.SetChipParameters(chip);
}

PollResult ProtocolContract::RunToEnd() {
    PollResult result;
    while ((result = protocol.PollOperation()) != PollResult::Done && result != PollResult::Failed) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return result;
}

TEST_P(ProtocolContract, AnswersEachCommandAndWritesReadsBackAndErasesAMebibyte) {
    std::array<uint8_t, 2> id{};
    ASSERT_TRUE(protocol.ReadChipId(id));
    EXPECT_EQ(id, (std::array<uint8_t, 2>{chip.manufacturerId, chip.deviceId}));
    std::array<char, ProgrammerProtocol::kVersionTextSize> version{};
    ASSERT_TRUE(protocol.ReadFirmwareVersion(version));
    EXPECT_FALSE(std::string(version.data()).empty());
    std::array<uint8_t, ProgrammerProtocol::kSerialSize> serial{};
    ASSERT_TRUE(protocol.ReadSerialNumber(serial));
    EXPECT_EQ(std::string(serial.begin(), serial.end()), kSerialNumber);
    std::array<uint8_t, ProgrammerProtocol::kSelfTestSize> selfTest{};
    ASSERT_TRUE(protocol.RunSelfTest(selfTest));
    EXPECT_EQ(std::string(selfTest.begin() + 14, selfTest.begin() + 16), "ok");
    uint8_t status = 0xEE;
    ASSERT_TRUE(protocol.QueryBusyStatus(status));
    EXPECT_EQ(status, 0);

    const std::vector<uint8_t> data = Pattern(kMiB);
    ASSERT_TRUE(protocol.StartChipWrite(data.data(), 0, kMiB, chip.pageSize));
    ASSERT_EQ(RunToEnd(), PollResult::Done);
    EXPECT_EQ(protocol.GetPercent(), 100);

    std::vector<uint8_t> readBack(kMiB, 0x5A);
    ASSERT_TRUE(protocol.StartChipRead(readBack.data(), 0, kMiB));
    ASSERT_EQ(RunToEnd(), PollResult::Done);
    EXPECT_EQ(protocol.GetBytesRead(), kMiB);
    EXPECT_TRUE(readBack == data);

    ASSERT_TRUE(protocol.StartChipErase());
    EXPECT_EQ(protocol.PollOperation(), PollResult::Busy);
    EXPECT_EQ(RunToEnd(), PollResult::Done);
}

TEST_P(ProtocolContract, TakesFirmwareThenSurvivesAnUnplugDuringARead) {
    const std::vector<uint8_t> image = Pattern(100 * 1024 + 5);
    ASSERT_TRUE(protocol.StartFirmwareUpdate(image.data(), static_cast<uint32_t>(image.size())));
    ASSERT_EQ(RunToEnd(), PollResult::Done);
    EXPECT_EQ(device->Programmer().ReceivedFirmware(), image);

    std::vector<uint8_t> buffer(kMiB);
    device->Programmer().InjectFault({FaultKind::UnplugAfter, 300 * 1024});
    ASSERT_TRUE(protocol.StartChipRead(buffer.data(), 0, kMiB));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunToEnd(), PollResult::Failed);
    EXPECT_LE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(device->Link().Timings().chunkDeadlineMs));
    EXPECT_LE(protocol.GetBytesRead(), 300u * 1024);
    EXPECT_FALSE(device->Link().Open());

    device->Replug();
    ASSERT_TRUE(device->Link().Open());
    ASSERT_TRUE(protocol.StartChipRead(buffer.data(), 0, kMiB));
    EXPECT_EQ(RunToEnd(), PollResult::Done);
    EXPECT_EQ(protocol.GetBytesRead(), kMiB);
}

// A read waiting on one pipe lets a write on the other end; a read abandoned while it
// waits is discarded at once, long before its time-out, and the device stays usable.
TEST_P(ProtocolContract, ReadsWhileWritingAndAnAbortedReadEndsAtOnce) {
    UsbLink& link = device->Link();
    std::vector<uint8_t> buffer(64);
    std::atomic<uint32_t> received{0}, written{0};
    bool ok = false;
    const std::array<uint8_t, 2> serialRequest{0x18, 0x00};
    ASSERT_TRUE(link.StartRead(buffer.data(), 64, received, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(link.PollRead(ok)) << "nothing was asked for, so nothing arrives";
    ASSERT_TRUE(link.Write(serialRequest.data(), 2, written, 1000));
    while (!link.PollRead(ok)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(ok);
    EXPECT_EQ(received.load(), 22u);

    ASSERT_TRUE(link.StartRead(buffer.data(), 64, received, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    link.AbortRead();
    // A quarter of the time-out: a busy machine's scheduling, never the wait for the time-out.
    EXPECT_LE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    std::array<uint8_t, 2> id{};
    ASSERT_TRUE(protocol.ReadChipId(id));
    EXPECT_EQ(id, (std::array<uint8_t, 2>{chip.manufacturerId, chip.deviceId}));
}

// Bulk IN transfers end when full or on a short packet; a packet longer than the room
// left fails the transfer and is lost, never cut. Each case ends with silence.
TEST_P(ProtocolContract, MovesWholePacketsAndEndsReadsAsUsbDoes) {
    const Bytes serial = {0x18, 0x00};                                    // 22-byte reply
    const Bytes selfTest = {0xF3, 0x00};                                  // 2-byte reply, then a 1024-byte block
    const Bytes chipRead = ChipRequest(AccessFor(chip), 2 * 4096 + 100);  // 3-byte reply, then the data
    const struct {
        const char* what;
        Bytes request;
        std::vector<PipeRead> reads;
    } cases[] = {
        {"serial number, room for a packet", serial, {{64, 22}, {64, kFails}}},
        {"serial number, room for 20 bytes", serial, {{20, kFails}, {64, kFails}}},
        {"self test, block read whole", selfTest, {{64, 2}, {1024, 1024}, {64, kFails}}},
        {"self test, block read into 1000 bytes", selfTest, {{64, 2}, {1000, kFails}, {64, kFails}}},
        {"chip read", chipRead, {{64, 3}, {4096, 4096}, {4096, 4096}, {4096, 100}, {64, kFails}}},
    };
    UsbLink& link = device->Link();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::atomic<uint32_t> moved{0};
        ASSERT_TRUE(link.Write(c.request.data(), static_cast<uint32_t>(c.request.size()), moved, 1000));
        for (const PipeRead& read : c.reads) {
            Bytes buffer(read.room);
            const bool ok = link.Read(buffer.data(), read.room, moved, 200);
            EXPECT_EQ(ok ? int64_t{moved.load()} : kFails, read.received) << "read into " << read.room;
        }
    }
}

}  // namespace qbr::test
