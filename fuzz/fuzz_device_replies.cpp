// SPDX-License-Identifier: GPL-3.0-or-later
// The command layer and the link receiving any reply bytes in any pieces. The input's
// first byte says how many commands run (1-8); each following byte picks one (low
// nibble) and its size or repeat count (high nibble). The rest is what the programmer
// sends, as pieces: [n] n bytes (n < 0xFE); [0xFE][b] as many bytes b as asked;
// [0xFF] a failed read. Once they run out every read fails, so a run ends within a
// few milliseconds. Writes always succeed. One link serves every run, as in the program.
#include "FuzzSupport.h"
#include "link/LibraryPath.h"
#include "link/ProgrammerProtocol.h"
#include "link/UsbLink.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

using qbr::PollResult;
using qbr::fuzz::Check;

// One programmer on the bus whose reads replay the input.
struct ScriptedDevice : qbr::UsbDeviceLibrary {
    void SetScript(const uint8_t* data, size_t size) {
        const std::lock_guard lock(mutex_);
        next_ = data;
        end_ = data + size;
    }

    int CountDevices(uint32_t& count) override {
        count = 1;
        return 0;
    }
    int GetDeviceIds(uint16_t, uint16_t& vendorId, uint16_t& productId) override {
        vendorId = 0x10C4;
        productId = 0xF5A0;
        return 0;
    }
    int OpenDevice(uint16_t, Handle& handle) override {
        handle = 1;
        return 0;
    }
    void CloseDevice(Handle) override {}
    void CancelTransfers(Handle) override {}
    int Write(Handle, const uint8_t*, uint32_t count, uint32_t& written, uint32_t) override {
        written = count;
        return 0;
    }
    int Read(Handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t) override {
        const std::lock_guard lock(mutex_);
        const uint8_t length = next_ == end_ ? 0xFF : *next_++;
        if (length == 0xFF || (length == 0xFE && next_ == end_)) return 1;
        if (length == 0xFE) {
            std::memset(buffer, *next_++, count);
            received = count;
            return 0;
        }
        const size_t available = std::min<size_t>(length, end_ - next_);
        received = static_cast<uint32_t>(std::min<size_t>(available, count));
        std::memcpy(buffer, next_, received);
        next_ += available;
        return 0;
    }
    std::mutex mutex_;
    const uint8_t* next_ = nullptr;
    const uint8_t* end_ = nullptr;
};

// A clock that moves only when read, 16 readings a millisecond, so a run whose replies never
// come ends after a few hundred polls; each millisecond yields, so a worker runs even on one core.
uint32_t CountingClock() {
    static std::atomic<uint64_t> readings{0};
    const uint64_t reading = readings.fetch_add(1, std::memory_order_relaxed);
    if (reading % 16 == 0) std::this_thread::yield();
    return static_cast<uint32_t>(reading / 16);
}

// Transfer sizes around the link's 4096-byte chunks.
constexpr uint32_t kSizes[16] = {0, 1, 2, 3, 16, 255, 256, 1000, 4095, 4096, 4097, 5000, 8191, 8192, 8193, 12289};

// Polls until the operation is no longer `running`; the bound catches a broken deadline.
void PollWhile(qbr::ProgrammerProtocol& protocol, PollResult running) {
    for (long polls = 0; protocol.PollOperation() == running; ++polls) {
        Check(polls < 100'000'000 && protocol.GetPercent() <= 100);
    }
    Check(protocol.State() == qbr::OperationState::Idle);
}

void RunCommand(qbr::ProgrammerProtocol& protocol, uint8_t command) {
    const unsigned argument = command >> 4;
    const uint32_t count = kSizes[argument];
    std::vector<uint8_t> buffer(count, 0xA5);
    std::array<uint8_t, 2> id{};
    std::array<char, qbr::ProgrammerProtocol::kVersionTextSize> text;
    std::array<uint8_t, qbr::ProgrammerProtocol::kSerialSize> serial{};
    std::array<uint8_t, qbr::ProgrammerProtocol::kSelfTestSize> selfTest{};
    text.fill('x');
    uint8_t status = 0;
    qbr::ChipRecord chip;
    switch (command & 0x0F) {
    case 0: protocol.ReadChipId(id); break;
    case 1: Check(!protocol.ReadFirmwareVersion(text) || text.back() == '\0'); break;
    case 2:
        if (protocol.ReadSerialNumber(serial)) {
            for (uint8_t b : serial) Check(b == 0 || (b >= 0x20 && b <= 0x7A));
        }
        break;
    case 3: protocol.RunSelfTest(selfTest); break;
    case 4:
    case 8:  // with a chip ID request while the read runs
        if (!protocol.StartChipRead(buffer.data(), 0, count)) break;
        if ((command & 0x0F) == 8) protocol.ReadChipId(id);
        PollWhile(protocol, PollResult::Reading);
        Check(protocol.GetBytesRead() <= count);
        break;
    case 5:
        if (protocol.StartChipWrite(buffer.data(), 0, count, 256)) PollWhile(protocol, PollResult::Writing);
        break;
    case 6:  // a programmer that stays busy leaves the protocol erasing for the commands that follow
        if (!protocol.StartChipErase()) break;
        for (unsigned i = 0; i <= argument && protocol.PollOperation() == PollResult::Busy; ++i) {
        }
        break;
    case 7: protocol.QueryBusyStatus(status); break;
    case 9:  // refused while an erase still runs; once started, cancelling ends it
        if (!protocol.StartChipRead(buffer.data(), 0, count)) break;
        protocol.CancelRead();
        Check(protocol.State() == qbr::OperationState::Idle);
        break;
    case 10:
        chip.chipType = argument % 5;
        chip.capacity = count;
        chip.voltage = argument & 1 ? 50 : 33;
        chip.dataWidth = argument & 2 ? 8 : 16;
        chip.modeParam = static_cast<uint8_t>(argument);
        protocol.SetChipParameters(chip);
        break;
    case 11:
        if (protocol.StartFirmwareUpdate(buffer.data(), count)) PollWhile(protocol, PollResult::Writing);
        break;
    default: break;
    }
}

// Deadlines of a few milliseconds.
qbr::LinkTimings FastTimings() {
    qbr::LinkTimings t{.clock = CountingClock, .pollPauseMs = 0, .writeRetryPauseMs = 0};
    t.chunkDeadlineMs = t.requestWriteTimeoutMs = t.chipWriteRequestTimeoutMs = t.selfTestTimeoutMs = 20;
    t.replyTimeoutMs = t.libraryPipeTimeoutMs = 10;
    t.chipReadTimeoutMs = t.chipWriteTimeoutMs = t.firmwareTimeoutMs = 50;
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t commands = std::min<size_t>(1 + data[0] % 8, size - 1);
    // The device outlives the link's workers.
    struct Bench {
        ScriptedDevice device;
        qbr::UsbLink link{std::make_unique<qbr::LibraryPath>(device), FastTimings()};
    };
    static Bench bench;
    bench.device.SetScript(data + 1 + commands, size - 1 - commands);
    qbr::ProgrammerProtocol protocol;
    protocol.AttachLink(bench.link);
    for (size_t i = 0; i < commands; ++i) {
        bench.link.Open();
        RunCommand(protocol, data[1 + i]);
    }
    if (protocol.State() == qbr::OperationState::Reading) protocol.CancelRead();
    bench.device.SetScript(nullptr, 0);  // every transfer has ended; the script must not outlive the input
    return 0;
}
