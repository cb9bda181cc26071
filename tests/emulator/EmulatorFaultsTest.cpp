#include "emulator/EmulatorSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace qbr::test {
namespace {

using namespace std::chrono_literals;

const Bytes kStatus = {0x13, 0x00, 0x01};

void Inject(EmulatorSession& session, const char* fault) {
    session.device.InjectFault(ParseEmulatorFault(fault));
}

TEST(EmulatorFaults, RequestsGoUnansweredOrAreRefused) {
    EmulatorSession session;
    Inject(session, "no-reply");
    EXPECT_EQ(session.Send({0x14, 0x01, 0x01}), 0);
    EXPECT_TRUE(session.Silent());
    session.device.ClearFaults();
    EXPECT_EQ(session.Exchange(kStatus, 3), (Bytes{0x13, 0x01, 0x00})) << "the erase was not carried out";

    Inject(session, "reject");
    EXPECT_EQ(session.Exchange(ReadRequest(0, 16), 3), (Bytes{0x11, 0x01, 0x01}));
    EXPECT_TRUE(session.Silent()) << "no data follows a refused read";
    EXPECT_EQ(session.Exchange(WriteRequest(0, 16), 3), (Bytes{0x12, 0x01, 0x00}));
    EXPECT_EQ(session.Exchange(kStatus, 3)[1], 0x00);
    EXPECT_EQ(session.Exchange({0x14, 0x01, 0x01}, 3), (Bytes{0x14, 0x01, 0x00}));
    EXPECT_EQ(session.Exchange({0x15, 0x00, 0x01}, 5)[1], 0x00);
}

TEST(EmulatorFaults, StrayRepliesComeFirstOrForEver) {
    EmulatorSession session;
    Inject(session, "stray-replies@2");
    ASSERT_EQ(session.Send(kStatus), 0);
    EXPECT_EQ(session.Receive(3), (Bytes{0x14, 0x01, 0x00}));
    EXPECT_EQ(session.Receive(3), (Bytes{0x14, 0x01, 0x00}));
    EXPECT_EQ(session.Receive(3), (Bytes{0x13, 0x01, 0x00}));
    EXPECT_TRUE(session.Silent());

    Inject(session, "stray-replies");
    ASSERT_EQ(session.Send(ReadRequest(0, 16)), 0);
    for (int i = 0; i < 20; ++i) ASSERT_EQ(session.Receive(3)[0], 0x12);
}

TEST(EmulatorFaults, ShortChunkEndsTheDataPhaseEarly) {
    EmulatorSession session;
    Inject(session, "short@5000");
    session.Exchange(ReadRequest(0, 10000), 3);
    EXPECT_EQ(session.Receive(4096).size(), 4096u);
    EXPECT_EQ(session.Receive(4096).size(), 904u);
    EXPECT_TRUE(session.Silent());

    Inject(session, "short@4096");
    session.Exchange(ReadRequest(0, 10000), 3);
    EXPECT_EQ(session.Receive(4096).size(), 4096u);
    EXPECT_TRUE(session.Receive(4096).empty());
    EXPECT_EQ(session.lastResult, 0) << "at a chunk boundary the phase ends with an empty transfer";
}

TEST(EmulatorFaults, StallBlocksReadsAndWritesUntilTimeOutOrCancel) {
    EmulatorSession session;
    // So that the write request is taken while the stalled read is still pending.
    session.device.SetAfterAbandon(AfterAbandon::DiscardOnRequest);
    Inject(session, "stall@100");
    session.Exchange(ReadRequest(0, 4096), 3);
    Bytes buffer(4096);
    uint32_t moved = 0;
    EXPECT_EQ(session.device.Read(session.handle, buffer.data(), 4096, moved, 40), EmulatedProgrammer::kTimedOut);
    EXPECT_EQ(moved, 64u) << "the whole packets before the stall point";

    std::thread canceller([&] {
        std::this_thread::sleep_for(30ms);
        session.device.CancelTransfers(session.handle);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.device.Read(session.handle, buffer.data(), 4096, moved, 0), EmulatedProgrammer::kCancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    canceller.join();

    session.Exchange(WriteRequest(0, 4096), 3);
    EXPECT_EQ(session.device.Write(session.handle, buffer.data(), 4096, moved, 40), EmulatedProgrammer::kTimedOut);
    EXPECT_EQ(moved, 100u);
}

TEST(EmulatorFaults, WritesFailForATimeFromTheFirstWrite) {
    EmulatorSession session;
    Inject(session, "write-fail@50");
    std::this_thread::sleep_for(60ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.Send(kStatus), EmulatedProgrammer::kFailed);
    while (session.Send(kStatus) != 0) std::this_thread::sleep_for(2ms);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_EQ(session.Receive(3).size(), 3u);
}

TEST(EmulatorFaults, ChipAndSelfTestMisbehave) {
    EmulatorSession session;
    session.device.Chip().Contents()[0x1234] = 0x5A;
    Inject(session, "flip@0x1234");
    session.Exchange(ReadRequest(0x1000, 0x1000), 3);
    const Bytes data = session.ReceiveAll(0x1000);
    EXPECT_EQ(data[0x234], 0xA5);
    EXPECT_EQ(std::count(data.begin(), data.end(), 0xFF), 0x1000 - 1);

    session.device.SetEraseTime(1ms);
    Inject(session, "busy-forever");
    session.Exchange({0x14, 0x01, 0x01}, 3);
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(session.Exchange(kStatus, 3), (Bytes{0x13, 0x01, 0x01}));

    Inject(session, "selftest-fail");
    session.Exchange({0xF3, 0x00}, 2);
    const Bytes block = session.Receive(1024);
    ASSERT_EQ(block.size(), 1024u);
    EXPECT_FALSE(block[14] == 'o' && block[15] == 'k');
}

TEST(EmulatorFaults, UnplugEndsTransfersEvenInTheMiddleOfADataPhase) {
    EmulatorSession session;
    Inject(session, "unplug@6000");
    session.Exchange(ReadRequest(0, 10000), 3);
    EXPECT_EQ(session.Receive(4096).size(), 4096u);
    EXPECT_TRUE(session.Receive(4096).empty());
    EXPECT_EQ(session.lastResult, EmulatedProgrammer::kNoDevice);
    EXPECT_FALSE(session.device.IsPlugged());

    session.device.Replug();
    session.handle = session.Open();
    session.Exchange(ReadRequest(0, 10000), 3);
    EXPECT_EQ(session.ReceiveAll(10000).size(), 10000u) << "the fault happens once";

    Inject(session, "replug@10");
    session.Exchange(WriteRequest(0, 100), 3);
    EXPECT_EQ(session.Send(Bytes(100, 0)), EmulatedProgrammer::kNoDevice);
    EXPECT_TRUE(session.device.IsPlugged());
    session.handle = session.Open();
    EXPECT_EQ(session.Exchange(kStatus, 3).size(), 3u) << "a new connection starts with no data phase";

    std::thread unplugger([&] {
        std::this_thread::sleep_for(30ms);
        Inject(session, "unplugged");
    });
    EXPECT_TRUE(session.Receive(3, 0).empty());
    EXPECT_EQ(session.lastResult, EmulatedProgrammer::kNoDevice) << "a waiting read ends";
    unplugger.join();
}

TEST(EmulatorFaults, TextFormsParseOrSayWhatIsWrong) {
    const std::pair<const char*, EmulatorFault> good[] = {
        {"unplugged", {FaultKind::Unplugged, 0}},
        {"stray-replies", {FaultKind::StrayReplies, EmulatorFault::kEndless}},
        {"stray-replies@3", {FaultKind::StrayReplies, 3}},
        {"flip@0XfF", {FaultKind::FlipByte, 255}},
    };
    for (const auto& [text, fault] : good) {
        const EmulatorFault parsed = ParseEmulatorFault(text);
        EXPECT_EQ(parsed.kind, fault.kind) << text;
        EXPECT_EQ(parsed.value, fault.value) << text;
    }
    const std::pair<const char*, const char*> bad[] = {
        {"unplug", "needs a value: unplug@N"},
        {"reject@1", "takes no value: reject"},
        {"stall@12k", "not a number"},
        {"flip@0x", "not a number"},
        {"Stall@1", "unknown fault; known: unplugged, unplug@N"},
    };
    for (const auto& [text, message] : bad) {
        try {
            ParseEmulatorFault(text);
            ADD_FAILURE() << text << " was accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace qbr::test
