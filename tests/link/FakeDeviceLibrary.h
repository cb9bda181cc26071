// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/LinkTimings.h"
#include "link/UsbDeviceLibrary.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <tuple>
#include <vector>

namespace qbr::test {

// A scripted library with one device list and one pipe pair. Reads follow a queue
// of replies and stall until cancelled or timed out when it is empty. Writes
// succeed and are recorded.
class FakeDeviceLibrary : public UsbDeviceLibrary {
public:
    // Device side, set by the test while no transfer runs.
    std::vector<std::pair<uint16_t, uint16_t>> devices{{0x10C4, 0xF5A0}};  // vendor and product IDs
    int openResult = 0, openCalls = 0;
    std::vector<Handle> closed;

    void QueueRead(std::vector<uint8_t> bytes) {
        const std::lock_guard lock(mutex_);
        replies_.push_back(std::move(bytes));
    }
    std::vector<std::vector<uint8_t>> Writes() const {
        const std::lock_guard lock(mutex_);
        return writes_;
    }

    int CountDevices(uint32_t& count) override {
        count = static_cast<uint32_t>(devices.size());
        return 0;
    }
    int GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) override {
        std::tie(vendorId, productId) = devices.at(index);
        return 0;
    }
    int OpenDevice(uint16_t index, Handle& handle) override {
        ++openCalls;
        handle = 100 + index;
        return openResult;
    }
    void CloseDevice(Handle handle) override { closed.push_back(handle); }

    int Read(Handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override {
        std::unique_lock lock(mutex_);
        if (replies_.empty()) {  // stalls
            const int cancelsBefore = cancels_;
            cancelled_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return cancels_ != cancelsBefore; });
            return 1;
        }
        const std::vector<uint8_t> bytes = std::move(replies_.front());
        replies_.pop_front();
        received = std::min<uint32_t>(count, static_cast<uint32_t>(bytes.size()));
        std::copy_n(bytes.begin(), received, buffer);
        return 0;
    }
    int Write(Handle, const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t) override {
        const std::lock_guard lock(mutex_);
        writes_.emplace_back(buffer, buffer + count);
        written = count;
        return 0;
    }
    void CancelTransfers(Handle) override {
        const std::lock_guard lock(mutex_);
        ++cancels_;
        cancelled_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cancelled_;
    std::deque<std::vector<uint8_t>> replies_;
    std::vector<std::vector<uint8_t>> writes_;
    int cancels_ = 0;
};

// Time limits small enough for tests; the clock stays the real one.
inline LinkTimings FastTimings() {
    return {.chunkDeadlineMs = 80, .replyTimeoutMs = 60, .pollPauseMs = 1};
}

}  // namespace qbr::test
