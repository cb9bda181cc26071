#pragma once

#include "chipdb/ChipType.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/UsbLink.h"
#include "support/CoreFixture.h"
#include "support/ProgrammerTap.h"

#include <memory>
#include <string>
#include <vector>

namespace qbr::test {

inline ChipRecord OpsChip(uint32_t type, const std::string& name, uint32_t capacity, uint32_t pageMode,
                          uint16_t pageSize, uint8_t manufacturerId, uint8_t deviceId) {
    ChipRecord chip = MakeChip(type, name, "TEST", capacity);
    chip.pageMode = pageMode;
    chip.pageSize = pageSize;
    chip.manufacturerId = manufacturerId;
    chip.deviceId = deviceId;
    return chip;
}

// Two records share EF 14 (the first one counts); the EEPROMs carry FF FF like
// chips without an identification.
inline const std::vector<ChipRecord>& OpsChips() {
    static const std::vector<ChipRecord> chips = {
        OpsChip(kSpiFlash, "W25X05", 0x10000, 1, 256, 0xEF, 0x10),
        OpsChip(kSpiFlash, "W25Q16", 0x200000, 1, 256, 0xEF, 0x14),
        OpsChip(kSpiFlash, "W25Q16B", 0x200000, 1, 256, 0xEF, 0x14),
        OpsChip(kSpiFlash, "HUGE256", 0x2000000, 1, 256, 0xC2, 0x19),
        OpsChip(kEeprom24, "24C01", 128, 0, 16, 0xFF, 0xFF),
        OpsChip(kEeprom24, "24C02", 256, 1, 8, 0xFF, 0xFF),
        OpsChip(kEeprom24, "ODD1000", 1000, 1, 8, 0xFF, 0xFF),
        OpsChip(kEeprom24, "TINY64", 64, 1, 8, 0xFF, 0xFF),
    };
    return chips;
}

inline std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    return bytes;
}

inline size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// A core linked to an emulated programmer. The time limits are cut down so that a
// stalled or silent programmer fails within tens of milliseconds.
class OpsTest : public CoreFixture {
protected:
    void SetUp() override {
        Prepare(SampleConfig("English", "W25X05"), OpsChips());
        ASSERT_EQ(core.Start(), ProgrammerCore::StartResult::Ready);
        quick.chunkDeadlineMs = 80;
        quick.replyTimeoutMs = 60;
    }

    // Selects the chip and links a programmer with that chip in its socket.
    EmulatedProgrammer& Connect(const std::string& chipName) {
        core.OnChipNameChanged(chipName);
        return ConnectWith(core.selectedChip, quick);
    }
    // Links a programmer with `socketChip`; what the host showed so far is forgotten.
    EmulatedProgrammer& ConnectWith(const ChipRecord& socketChip, const LinkTimings& timings) {
        auto tap = std::make_unique<ProgrammerTap>(socketChip);
        tap_ = tap.get();
        core.ConnectLink(std::make_unique<UsbLink>(std::move(tap), timings));
        host.boxes.clear();
        return tap_->programmer;
    }
    void FillBuffer(const std::vector<uint8_t>& bytes) { std::ranges::copy(bytes, core.buffer.bytes.begin()); }
    void FillChip(const std::vector<uint8_t>& bytes) { std::ranges::copy(bytes, tap_->programmer.Chip().Contents().begin()); }
    std::vector<uint8_t> ChipBytes() {
        const auto contents = tap_->programmer.Chip().Contents();
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
