// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/PipeHandle.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace qbr {

// One direction's transfer, shared between its worker thread and the thread that
// polls it. The starting thread fills it before handing the transfer to the worker;
// afterwards the worker owns `remaining` and the chunk deadline and publishes the
// counter and the result before `done` (release), which the poller reads with
// acquire.
//
// The worker thread starts with the slot's first transfer and serves every later
// one until the slot goes away, so a transfer costs no thread start. A transfer that
// overruns a deadline is abandoned by cancelling its pipe call and waiting until the
// worker has finished it, never by killing the thread; once Poll has reported the
// end, the worker has left the transfer and can't touch the caller's buffer any more.
class TransferSlot {
public:
    TransferSlot() = default;
    ~TransferSlot();
    TransferSlot(const TransferSlot&) = delete;
    TransferSlot& operator=(const TransferSlot&) = delete;

    // Sets up a new transfer; a worker of an earlier one still running is abandoned
    // first. The counter is cleared here, before the worker exists.
    void Prepare(std::shared_ptr<PipeHandle> pipe, uint32_t length, std::atomic<uint32_t>& counter,
                 uint32_t transferDeadline, uint32_t chunkDeadline);
    // Hands the transfer's body to the worker thread; the body ends with Finish.
    void Launch(std::function<void()> body);
    // True when the transfer has ended; `ok` is then its outcome. A transfer past
    // either deadline is abandoned and ends without success.
    bool Poll(bool& ok, uint32_t now);
    // Ends a running worker at once (cancel, then join); the transfer counts as failed.
    void Abandon();

    // Worker side.
    PipeHandle& Pipe() const { return *pipe_; }
    uint32_t Remaining() const { return remaining_; }
    // Takes the next chunk of at most `chunkSize` bytes and starts its deadline.
    uint32_t TakeChunk(uint32_t chunkSize, uint32_t chunkDeadline);
    void AddToCounter(uint32_t bytes) { counter_->fetch_add(bytes, std::memory_order_release); }
    // Milliseconds until the nearer deadline; false when it has passed or the
    // transfer is being abandoned.
    bool TimeLeft(uint32_t now, uint32_t& ms) const;
    // The worker's last action.
    void Finish(bool result);

private:
    static bool IsPast(uint32_t now, uint32_t deadline);
    void Release();
    void ServeTransfers();

    std::shared_ptr<PipeHandle> pipe_;
    uint32_t remaining_ = 0;
    std::atomic<uint32_t>* counter_ = nullptr;
    uint32_t transferDeadline_ = 0;
    std::atomic<uint32_t> chunkDeadline_{0};
    bool result_ = false;
    std::atomic<bool> done_{true};
    std::atomic<bool> abort_{false};
    // A launched transfer whose end hasn't been collected yet; the polling thread's own.
    bool launched_ = false;

    std::mutex jobMutex_;
    std::condition_variable jobReady_;
    std::function<void()> job_;
    bool closing_ = false;
    std::thread worker_;
};

}  // namespace qbr
