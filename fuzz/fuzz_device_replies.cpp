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
// One link serves every run, as in the program, so its worker threads are started
// once; each run attaches a new protocol to it and gives the device a new script.

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

// One programmer on the bus whose reads replay the input. Reads and writes come
// from the link's worker threads.
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

// Deadlines of a few milliseconds on a clock that moves only when it is read: every
// 16 readings make a millisecond. A run whose replies never come then ends after a
// few hundred polls instead of waiting out real time. Each new millisecond gives up
// the processor, so a worker still gets to run before its deadline even when it
// shares one core with the polling thread.
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

// Polls until the operation is no longer `running`; the link's deadlines end any
// transfer, and the loop bound only guards against a fault in them.
qbr::PollResult PollWhile(qbr::ProgrammerProtocol& protocol, qbr::PollResult running) {
    qbr::PollResult result = running;
    for (long polls = 0; result == running; ++polls) {
        Check(polls < 100'000'000);
        result = protocol.PollOperation();
        Check(protocol.GetPercent() <= 100);
    }
    return result;
}

void ChipRead(qbr::ProgrammerProtocol& protocol, uint32_t count, bool askIdMeanwhile) {
    std::vector<uint8_t> buffer(count);
    if (!protocol.StartChipRead(buffer.data(), 0, count)) return;
    if (askIdMeanwhile) {
        std::array<uint8_t, 2> id{};
        protocol.ReadChipId(id);
    }
    PollWhile(protocol, qbr::PollResult::Reading);
    Check(protocol.State() == qbr::OperationState::Idle);
    Check(protocol.GetBytesRead() <= count);
}

void ChipWrite(qbr::ProgrammerProtocol& protocol, uint32_t count) {
    std::vector<uint8_t> data(count, 0xA5);
    if (!protocol.StartChipWrite(data.data(), 0, count, 256)) return;
    PollWhile(protocol, qbr::PollResult::Writing);
    Check(protocol.State() == qbr::OperationState::Idle);
}

void FirmwareUpdate(qbr::ProgrammerProtocol& protocol, uint32_t count) {
    std::vector<uint8_t> image(count, 0x5A);
    if (!protocol.StartFirmwareUpdate(image.data(), count)) return;
    PollWhile(protocol, qbr::PollResult::Writing);
}

void Erase(qbr::ProgrammerProtocol& protocol, int maxPolls) {
    if (!protocol.StartChipErase()) return;
    // A programmer that stays busy leaves the protocol erasing; the commands that
    // follow then meet a protocol that is not idle.
    for (int i = 0; i <= maxPolls && protocol.PollOperation() == qbr::PollResult::Busy; ++i) {
    }
}

void RunCommand(qbr::UsbLink& link, qbr::ProgrammerProtocol& protocol, uint8_t command) {
    link.Open();
    const unsigned argument = command >> 4;
    switch (command & 0x0F) {
    case 0: {
        std::array<uint8_t, 2> id{};
        protocol.ReadChipId(id);
        break;
    }
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
    case 4: ChipRead(protocol, kSizes[argument], false); break;
    case 5: ChipWrite(protocol, kSizes[argument]); break;
    case 6: Erase(protocol, static_cast<int>(argument)); break;
    case 7: {
        uint8_t status = 0;
        protocol.QueryBusyStatus(status);
        break;
    }
    case 8: ChipRead(protocol, kSizes[argument], true); break;
    case 9: {
        std::vector<uint8_t> buffer(kSizes[argument]);
        // Refused while an erase is still running; once started, cancelling ends it.
        if (protocol.StartChipRead(buffer.data(), 0, kSizes[argument])) {
            protocol.CancelRead();
            Check(protocol.State() == qbr::OperationState::Idle);
        }
        break;
    }
    case 10: {
        qbr::ChipRecord chip;
        chip.chipType = argument % 5;
        chip.capacity = kSizes[argument];
        chip.voltage = argument & 1 ? 50 : 33;
        chip.dataWidth = argument & 2 ? 8 : 16;
        chip.modeParam = static_cast<uint8_t>(argument);
        protocol.SetChipParameters(chip);
        break;
    }
    case 11: FirmwareUpdate(protocol, kSizes[argument]); break;
    default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t commandCount = std::min<size_t>(1 + data[0] % 8, size - 1);
    const uint8_t* commands = data + 1;
    const size_t repliesAt = 1 + commandCount;

    // The device is declared before the link, so that it outlives the link's workers.
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
    // Every transfer has ended by now; the script goes before the input it points into.
    bench.device.SetScript(nullptr, 0);
    return 0;
}
