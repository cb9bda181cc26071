// SPDX-License-Identifier: GPL-3.0-or-later
// What each fault does is seen through the commands in the fault matrix; here only
// the text forms that --emulate-fault takes.
#include "emulator/EmulatorFault.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace qbr::test {
namespace {

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
