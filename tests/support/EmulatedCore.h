// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/EmulatedProgrammer.h"
#include "link/LibraryPath.h"
#include "link/UsbLink.h"
#include "support/CoreFixture.h"
#include "support/Pattern.h"
#include "support/ProgrammerTap.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace qbr::test {

// A core with its own chip database, linked to an emulated programmer behind a tap.
// The link's time limits are cut down so that a silent or stalled programmer fails
// within tens of milliseconds.
class EmulatedCoreTest : public CoreFixture {
protected:
    static constexpr uint32_t kChunkDeadlineMs = 150;
    static constexpr uint32_t kReplyTimeoutMs = 120;
    static constexpr uint32_t kEraseTimeoutMs = 400;

    // Starts the core on `chips` with `chipName` selected.
    void Start(const std::vector<ChipRecord>& chips, const std::string& chipName) {
        Prepare(SampleConfig("English", chipName), chips);
        ASSERT_EQ(workspace.Start(), Workspace::StartResult::Ready);
        ASSERT_EQ(core.SelectedChip().chipName, chipName);
        quick.chunkDeadlineMs = kChunkDeadlineMs;
        quick.replyTimeoutMs = kReplyTimeoutMs;
        quick.eraseTimeLimitMs = [](uint32_t) { return kEraseTimeoutMs; };
    }
    // Selects the chip and links a programmer with that chip in its socket.
    EmulatedProgrammer& Connect(const std::string& chipName) {
        core.SelectChip(*workspace.Database().FindByName(chipName));
        return ConnectWith(core.SelectedChip(), quick);
    }
    // Links a programmer with `socketChip`; what the host showed so far is forgotten.
    EmulatedProgrammer& ConnectWith(const ChipRecord& socketChip, const LinkTimings& timings) {
        auto tap = std::make_unique<ProgrammerTap>(socketChip);
        tap_ = tap.get();
        core.ConnectLink(std::make_unique<UsbLink>(std::make_unique<LibraryPath>(std::move(tap)), timings));
        host.boxes.clear();
        return tap_->programmer;
    }

    EmulatedProgrammer& Programmer() { return tap_->programmer; }
    ProgrammerTap& Device() { return *tap_; }
    void FillBuffer(const std::vector<uint8_t>& bytes) { std::ranges::copy(bytes, core.Buffer().bytes.begin()); }
    void SetChipBytes(const std::vector<uint8_t>& bytes) {
        std::ranges::copy(bytes, Programmer().Chip().Contents().begin());
    }
    std::vector<uint8_t> ChipBytes() {
        const auto contents = Programmer().Chip().Contents();
        return {contents.begin(), contents.end()};
    }
    // A status text followed by the elapsed time.
    static bool IsTimed(const std::string& status, const std::string& text) {
        return status.starts_with(text + "   Elapsed time: ") && status.ends_with(" ms");
    }

    LinkTimings quick;
    ProgrammerTap* tap_ = nullptr;
};

}  // namespace qbr::test
