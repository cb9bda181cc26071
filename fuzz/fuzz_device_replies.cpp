// SPDX-License-Identifier: GPL-3.0-or-later
// The command layer and the link receiving any reply bytes in any pieces.
//
// The input starts with the commands to run: its first byte says how many (1-8),
// and each following byte picks one (low nibble) and its size or repeat count (high
// nibble). Everything after them is what the programmer sends, as pieces of
//   [n] n bytes     one read returns these n bytes (n < 0xFE)
//   [0xFE] [b]      one read returns as many bytes as asked, all equal to b
//   [0xFF]          one read fails
// and once the pieces run out every read fails, so each run ends within a few
// milliseconds. Writes always succeed; reads never block.
//
// One link serves every run, as in the program; each run attaches a new protocol.

#include "base/TickCount.h"
#include "link/LibraryPath.h"
#include "link/LinkTimings.h"
#include "link/ProgrammerProtocol.h"
#include "link/UsbDeviceLibrary.h"
#include "link/UsbLink.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// One programmer on the bus whose reads replay the input, to the link's workers.
class ScriptedDevice : public qbr::UsbDeviceLibrary {
public:
    // Replaces the script; an empty one makes every read fail.
    void SetScript(const uint8_t* data, size_t size) {
        const std::lock_guard lock(mutex_);
        next_ = data;
        end_ = data + size;
    }

    int CountDevices(uint32_t& count) override {
        count = 1;
        return 0;
    }
    int GetDeviceId(uint16_t, char (&text)[kIdTextSize], int selector) override {
        std::snprintf(text, kIdTextSize, "%x", selector == kVendorId ? 0x10C4u : 0xF5A0u);
        return 0;
    }
    int OpenDevice(uint16_t, Handle& handle) override {
        handle = 1;
        return 0;
    }
    void CloseDevice(Handle) override {}

    int Read(Handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t) override {
        const std::lock_guard lock(mutex_);
        if (next_ == end_) return 1;
        const uint8_t length = *next_++;
        if (length == 0xFF) return 1;
        if (length == 0xFE) {
            if (next_ == end_) return 1;
            std::memset(buffer, *next_++, count);
            received = count;
            return 0;
        }
        const size_t available = std::min<size_t>(length, static_cast<size_t>(end_ - next_));
        received = static_cast<uint32_t>(std::min<size_t>(available, count));
        std::memcpy(buffer, next_, received);
        next_ += available;
        return 0;
    }
    int Write(Handle, const uint8_t*, uint32_t count, uint32_t& written, uint32_t) override {
        written = count;
        return 0;
    }
    void CancelTransfers(Handle) override {}

private:
    std::mutex mutex_;
    const uint8_t* next_ = nullptr;
    const uint8_t* end_ = nullptr;
};

// Deadlines of a few milliseconds on a clock that moves only when read, 16 readings
// a millisecond: a run whose replies never come ends after a few hundred polls. Each
// new millisecond yields, so a worker runs before its deadline even on one core.
uint32_t CountingClock() {
    static std::atomic<uint64_t> readings{0};
    const uint64_t reading = readings.fetch_add(1, std::memory_order_relaxed);
    if (reading % 16 == 0) std::this_thread::yield();
    return static_cast<uint32_t>(reading / 16);
}

qbr::LinkTimings ShortTimings() {
    qbr::LinkTimings timings;
    timings.clock = CountingClock;
    timings.chunkDeadlineMs = 20;
    timings.replyTimeoutMs = 10;
    timings.pollPauseMs = 0;
    timings.libraryPipeTimeoutMs = 10;
    timings.writeRetryPauseMs = 0;
    timings.requestWriteTimeoutMs = 20;
    timings.chipWriteRequestTimeoutMs = 20;
    timings.chipReadTimeoutMs = 50;
    timings.chipWriteTimeoutMs = 50;
    timings.firmwareTimeoutMs = 50;
    timings.selfTestTimeoutMs = 20;
    return timings;
}

// Transfer sizes around the link's 4096-byte chunks.
constexpr std::array<uint32_t, 16> kSizes{0,    1,    2,    3,    16,   255,  256,  1000,
                                          4095, 4096, 4097, 5000, 8191, 8192, 8193, 12289};

// Polls until the operation is no longer `running`; the bound guards against a fault
// in the link's deadlines.
qbr::PollResult PollWhile(qbr::ProgrammerProtocol& protocol, qbr::PollResult running) {
    qbr::PollResult result = running;
    for (long polls = 0; result == running; ++polls) {
        Check(polls < 100'000'000);
        result = protocol.PollOperation();
        Check(protocol.GetPercent() <= 100);
    }
    return result;
}

void RunCommand(qbr::UsbLink& link, qbr::ProgrammerProtocol& protocol, uint8_t command) {
    link.Open();
    const unsigned argument = command >> 4;
    const uint32_t count = kSizes[argument];
    std::vector<uint8_t> buffer(count, 0xA5);
    std::array<uint8_t, 2> id{};
    switch (command & 0x0F) {
    case 0: protocol.ReadChipId(id); break;
    case 1: {
        std::array<char, qbr::ProgrammerProtocol::kVersionTextSize> text;
        text.fill('x');
        if (protocol.ReadFirmwareVersion(text)) Check(text.back() == '\0');
        break;
    }
    case 2: {
        std::array<uint8_t, qbr::ProgrammerProtocol::kSerialSize> serial{};
        if (protocol.ReadSerialNumber(serial)) {
            for (uint8_t b : serial) Check(b == 0 || (b >= 0x20 && b <= 0x7A));
        }
        break;
    }
    case 3: {
        std::array<uint8_t, qbr::ProgrammerProtocol::kSelfTestSize> result{};
        protocol.RunSelfTest(result);
        break;
    }
    case 4:
    case 8:  // with a chip ID request while the read runs
        if (!protocol.StartChipRead(buffer.data(), 0, count)) break;
        if ((command & 0x0F) == 8) protocol.ReadChipId(id);
        PollWhile(protocol, qbr::PollResult::Reading);
        Check(protocol.State() == qbr::OperationState::Idle && protocol.GetBytesRead() <= count);
        break;
    case 5:
        if (!protocol.StartChipWrite(buffer.data(), 0, count, 256)) break;
        PollWhile(protocol, qbr::PollResult::Writing);
        Check(protocol.State() == qbr::OperationState::Idle);
        break;
    case 6:  // a programmer that stays busy leaves the protocol erasing for the commands that follow
        if (!protocol.StartChipErase()) break;
        for (unsigned i = 0; i <= argument && protocol.PollOperation() == qbr::PollResult::Busy; ++i) {
        }
        break;
    case 7: {
        uint8_t status = 0;
        protocol.QueryBusyStatus(status);
        break;
    }
    case 9:  // refused while an erase still runs; once started, cancelling ends it
        if (!protocol.StartChipRead(buffer.data(), 0, count)) break;
        protocol.CancelRead();
        Check(protocol.State() == qbr::OperationState::Idle);
        break;
    case 10: {
        qbr::ChipRecord chip;
        chip.chipType = argument % 5;
        chip.capacity = count;
        chip.voltage = argument & 1 ? 50 : 33;
        chip.dataWidth = argument & 2 ? 8 : 16;
        chip.modeParam = static_cast<uint8_t>(argument);
        protocol.SetChipParameters(chip);
        break;
    }
    case 11:
        if (protocol.StartFirmwareUpdate(buffer.data(), count)) PollWhile(protocol, qbr::PollResult::Writing);
        break;
    default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t commandCount = std::min<size_t>(1 + data[0] % 8, size - 1);
    const uint8_t* commands = data + 1;
    const size_t repliesAt = 1 + commandCount;

    // The device outlives the link's workers.
    struct Bench {
        ScriptedDevice device;
        qbr::UsbLink link{std::make_unique<qbr::LibraryPath>(device), ShortTimings()};
    };
    static Bench bench;
    bench.device.SetScript(data + repliesAt, size - repliesAt);
    qbr::ProgrammerProtocol protocol;
    protocol.AttachLink(bench.link);
    for (size_t i = 0; i < commandCount; ++i) {
        RunCommand(bench.link, protocol, commands[i]);
    }
    if (protocol.State() == qbr::OperationState::Reading) protocol.CancelRead();
    // Every transfer has ended; the script must not outlive the input.
    bench.device.SetScript(nullptr, 0);
    return 0;
}
