#pragma once

#include "chipdb/ChipType.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/UsbLink.h"
#include "support/CoreFixture.h"
#include "support/ProgrammerTap.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace qbr::test {

// The one chip of the scenarios: a 64 KiB SPI flash, sixteen 4 KiB chunks, that
// answers its identification with EF 10.
inline ChipRecord ScenarioChip() {
    ChipRecord chip = MakeChip(kSpiFlash, "SCEN64K", "TEST", 0x10000);
    chip.pageMode = 1;
    chip.pageSize = 256;
    chip.manufacturerId = 0xEF;
    chip.deviceId = 0x10;
    return chip;
}

// Bytes that differ from their neighbours and from every other pattern used here.
inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8) + seed);
    return bytes;
}

// A core with the scenario chip selected, linked to an emulated programmer that
// holds the same chip. The link's time limits are cut down so that a silent or
// stalled programmer fails within tens of milliseconds.
class ScenarioTest : public CoreFixture {
protected:
    static constexpr uint32_t kChunkDeadlineMs = 80;
    static constexpr uint32_t kReplyTimeoutMs = 60;
    static constexpr uint32_t kEraseTimeoutMs = 100;

    void SetUp() override {
        Prepare(SampleConfig("English", ScenarioChip().chipName), {ScenarioChip()});
        ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
        ASSERT_EQ(core.selectedChip.chipName, ScenarioChip().chipName);
        LinkTimings timings;
        timings.chunkDeadlineMs = kChunkDeadlineMs;
        timings.replyTimeoutMs = kReplyTimeoutMs;
        timings.eraseTimeoutMs = kEraseTimeoutMs;
        auto device = std::make_unique<ProgrammerTap>(ScenarioChip());
        device_ = device.get();
        core.ConnectLink(std::make_unique<UsbLink>(std::move(device), timings));
        ASSERT_TRUE(host.boxes.empty());
    }

    EmulatedProgrammer& Programmer() { return device_->programmer; }
    ProgrammerTap& Device() { return *device_; }

    std::vector<uint8_t> ChipBytes() {
        const auto contents = Programmer().Chip().Contents();
        return {contents.begin(), contents.end()};
    }
    void SetChipBytes(const std::vector<uint8_t>& bytes) {
        std::ranges::copy(bytes, Programmer().Chip().Contents().begin());
    }

    // A status text followed by the elapsed time.
    static bool IsTimed(const std::string& status, const std::string& text) {
        return status.starts_with(text + "   Elapsed time: ") && status.ends_with(" ms");
    }

private:
    ProgrammerTap* device_ = nullptr;
};

}  // namespace qbr::test
