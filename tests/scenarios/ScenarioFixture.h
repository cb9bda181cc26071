#pragma once

#include "chipdb/ChipType.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/UsbLink.h"
#include "support/CoreFixture.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace qbr::test {

// The emulated programmer behind a hook that sees every block the host writes
// before the programmer does, so a test can change the programmer's behaviour at
// an exact point of an exchange. The hook runs on the link's worker threads.
class HookedProgrammer final : public UsbDeviceLibrary {
public:
    using WriteHook = std::function<void(std::span<const uint8_t> block)>;

    explicit HookedProgrammer(const ChipRecord& chip) : programmer(chip) {}

    int CountDevices(uint32_t& count) override { return programmer.CountDevices(count); }
    int GetDeviceId(uint16_t index, char (&text)[kIdTextSize], int selector) override {
        return programmer.GetDeviceId(index, text, selector);
    }
    int OpenDevice(uint16_t index, Handle& handle) override { return programmer.OpenDevice(index, handle); }
    void CloseDevice(Handle handle) override { programmer.CloseDevice(handle); }
    int Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override {
        return programmer.Read(handle, buffer, count, received, timeoutMs);
    }
    int Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) override {
        WriteHook hook;
        {
            std::lock_guard lock(mutex_);
            hook = beforeWrite_;
        }
        if (hook) hook({buffer, count});
        return programmer.Write(handle, buffer, count, written, timeoutMs);
    }
    void CancelTransfers(Handle handle) override { programmer.CancelTransfers(handle); }

    void SetWriteHook(WriteHook hook) {
        std::lock_guard lock(mutex_);
        beforeWrite_ = std::move(hook);
    }

    EmulatedProgrammer programmer;

private:
    std::mutex mutex_;
    WriteHook beforeWrite_;
};

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
        auto device = std::make_unique<HookedProgrammer>(ScenarioChip());
        device_ = device.get();
        core.ConnectLink(std::make_unique<UsbLink>(std::move(device), timings));
        ASSERT_TRUE(host.boxes.empty());
    }

    EmulatedProgrammer& Programmer() { return device_->programmer; }
    HookedProgrammer& Device() { return *device_; }

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
    HookedProgrammer* device_ = nullptr;
};

}  // namespace qbr::test
