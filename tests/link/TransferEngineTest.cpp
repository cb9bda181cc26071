// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/FakeDeviceLibrary.h"
#include "link/LibraryPath.h"
#include "link/UsbLink.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qbr {
namespace {

using test::ElapsedMs;

class TransferEngine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(link.Open()); }

    // Polls the read to its end; the time it took goes to `elapsedMs`.
    bool PollReadToEnd(long& elapsedMs) {
        bool ok = true;
        elapsedMs = ElapsedMs([&] {
            while (!link.PollRead(ok)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        return ok;
    }

    test::FakeDeviceLibrary library;
    LinkTimings timings = test::FastTimings();
    UsbLink link{std::make_unique<LibraryPath>(library), timings};
    std::atomic<uint32_t> counter{0};
    std::vector<uint8_t> buffer = std::vector<uint8_t>(3 * 4096);
};

TEST_F(TransferEngine, ReadMovesFullChunksAndEndsAtAShortOne) {
    library.QueueRead(std::vector<uint8_t>(4096, 1));
    library.QueueRead(std::vector<uint8_t>(1, 2));
    EXPECT_TRUE(link.Read(buffer.data(), 4097, counter, 1000));
    EXPECT_EQ(counter, 4097u);
    EXPECT_EQ(buffer[4095], 1);
    EXPECT_EQ(buffer[4096], 2);

    library.QueueRead(std::vector<uint8_t>(4096, 3));
    EXPECT_TRUE(link.Read(buffer.data(), 4096, counter, 1000));

    // A short chunk ends the read successfully with what arrived.
    library.QueueRead(std::vector<uint8_t>(4096, 4));
    library.QueueRead(std::vector<uint8_t>(100, 5));
    EXPECT_TRUE(link.Read(buffer.data(), 3 * 4096, counter, 1000));
    EXPECT_EQ(counter, 4196u);
    EXPECT_EQ(library.ReadSizes(), (std::vector<uint32_t>{4096, 1, 4096, 4096, 4096}));
}

TEST_F(TransferEngine, FailedWritesAreRetried) {
    library.FailWrites(3);
    EXPECT_TRUE(link.Write(buffer.data(), 5000, counter, 1000));
    EXPECT_EQ(counter, 5000u);
    const auto writes = library.Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].size(), 4096u);
    EXPECT_EQ(writes[1].size(), 904u);
}

TEST_F(TransferEngine, WriteThatKeepsFailingEndsAtTheNearerDeadline) {
    library.FailWrites(-1);
    long elapsed = ElapsedMs([&] { EXPECT_FALSE(link.Write(buffer.data(), 10, counter, 1000)); });
    EXPECT_GE(elapsed, 79);  // rounding, as below
    EXPECT_LT(elapsed, 400);
    elapsed = ElapsedMs([&] { EXPECT_FALSE(link.Write(buffer.data(), 10, counter, 30)); });
    EXPECT_GE(elapsed, 29);  // the tick and this clock round their milliseconds differently
    EXPECT_LT(elapsed, 80);
    EXPECT_EQ(counter, 0u);
}

TEST_F(TransferEngine, StalledReadIsCancelledAtTheChunkDeadline) {
    library.QueueRead(std::vector<uint8_t>(4096, 1));
    ASSERT_TRUE(link.StartRead(buffer.data(), 2 * 4096, counter, 1000));
    long elapsed = 0;
    EXPECT_FALSE(PollReadToEnd(elapsed));
    EXPECT_GE(elapsed, 80);
    EXPECT_LT(elapsed, 400);
    EXPECT_EQ(counter, 4096u);  // what arrived stays counted
    // No pipe call may outlast the deadlines.
    for (uint32_t timeout : library.Timeouts()) {
        EXPECT_LE(timeout, timings.chunkDeadlineMs);
    }
}

// A pipe that can't be cancelled still returns by its time-out, which the link
// keeps within the deadline; the poll reports the end only after the worker is
// gone, so the buffer can be freed right away.
TEST_F(TransferEngine, BufferIsNotTouchedAfterTheEndWasReported) {
    library.QueueLateRead();
    ASSERT_TRUE(link.StartRead(buffer.data(), 16, counter, 40));
    long elapsed = 0;
    EXPECT_FALSE(PollReadToEnd(elapsed));
    EXPECT_LT(elapsed, 300);
    const std::vector<uint8_t> atEnd = buffer;
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(buffer, atEnd);
}

TEST_F(TransferEngine, AbortReadEndsAStalledReadAtOnce) {
    ASSERT_TRUE(link.StartRead(buffer.data(), 16, counter, 10000));
    EXPECT_LT(ElapsedMs([&] { link.AbortRead(); }), 50);
    EXPECT_GE(library.Cancels(), 1);
    bool ok = true;
    EXPECT_TRUE(link.PollRead(ok));
    EXPECT_FALSE(ok);

    // The worker that left the abandoned read serves the next one.
    library.QueueRead(std::vector<uint8_t>(8, 7));
    EXPECT_TRUE(link.Read(buffer.data(), 8, counter, 1000));
    EXPECT_EQ(counter, 8u);
    EXPECT_EQ(buffer[7], 7);
}

}  // namespace
}  // namespace qbr
