// SPDX-License-Identifier: GPL-3.0-or-later
// The emulator's parts: the chip's memory, the wire's clock and the text forms that
// --emulate-fault takes (what each fault does is seen through the fault matrix).
#include "emulator/EmulatorFault.h"
#include "emulator/VirtualChip.h"
#include "emulator/WireClock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace qbr {
namespace {

using namespace std::chrono_literals;

TEST(VirtualChip, ImagesSurviveAFileAndAMissingFileIsAnErasedChip) {
    const ChipRecord record{2, "SMALL", "TEST", 0, 33, 16, 0, 0, 0xFF, 0xFF, 0, 8};
    test::TempDir dir;
    VirtualChip chip(record);
    const uint8_t data[] = {1, 2, 3};
    chip.Program(14, data);
    EXPECT_EQ(chip.Contents()[15], 2) << "bytes past the end are dropped";
    ASSERT_TRUE(chip.SaveImage(dir.file("chip.bin")));

    VirtualChip copy(record);
    ASSERT_TRUE(copy.LoadImage(dir.file("chip.bin")));
    EXPECT_TRUE(std::ranges::equal(copy.Contents(), chip.Contents()));
    test::WriteFileText(dir.file("short.bin"), "AB");
    ASSERT_TRUE(copy.LoadImage(dir.file("short.bin")));
    EXPECT_EQ(copy.Contents()[1], 'B');
    EXPECT_EQ(copy.Contents()[2], 0xFF);
    ASSERT_TRUE(copy.LoadImage(dir.file("missing.bin")));
    EXPECT_EQ(std::ranges::count(copy.Contents(), 0xFF), 16);
    EXPECT_FALSE(copy.LoadImage(dir.path()));
}

TEST(WireClock, LaysTransfersEndToEndAndCreditsOnlyOversleep) {
    WireClock clock;
    clock.SetModel({1'000'000, 100us});
    const WireClock::Clock::time_point t0{};
    EXPECT_EQ(clock.Book(1000, t0), t0 + 1100us);
    EXPECT_EQ(clock.Book(1000, t0 + 500us), t0 + 2200us) << "the wire is still busy";

    clock.Woke(t0 + 2200us, t0 + 2500us);
    EXPECT_EQ(clock.Book(0, t0 + 2600us), t0 + 2400us) << "300 us oversleep credited, 100 us host time not";
    EXPECT_EQ(clock.Book(0, t0 + 9000us), t0 + 9100us) << "the credit is used once";
    EXPECT_EQ(clock.BookedTime(), 2400us);
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
}  // namespace qbr
