// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/TransferSlot.h"

#include <algorithm>
#include <chrono>

namespace qbr {

TransferSlot::~TransferSlot() {
    Abandon();
    if (worker_.joinable()) {
        {
            const std::lock_guard lock(jobMutex_);
            closing_ = true;
        }
        jobReady_.notify_one();
        worker_.join();
    }
}

void TransferSlot::Prepare(std::shared_ptr<PipeHandle> pipe, uint32_t length, std::atomic<uint32_t>& counter,
                           uint32_t transferDeadline, uint32_t chunkDeadline) {
    Abandon();
    pipe_ = std::move(pipe);
    remaining_ = length;
    counter_ = &counter;
    counter_->store(0, std::memory_order_relaxed);
    transferDeadline_ = transferDeadline;
    chunkDeadline_.store(chunkDeadline, std::memory_order_relaxed);
    result_ = false;
    abort_.store(false, std::memory_order_relaxed);
    done_.store(false, std::memory_order_relaxed);
}

void TransferSlot::Launch(std::function<void()> body) {
    launched_ = true;
    {
        const std::lock_guard lock(jobMutex_);
        job_ = std::move(body);
    }
    if (worker_.joinable()) {
        jobReady_.notify_one();
    } else {
        worker_ = std::thread([this] { ServeTransfers(); });
    }
}

// The worker thread: runs each handed-over transfer body until the slot closes.
void TransferSlot::ServeTransfers() {
    std::unique_lock lock(jobMutex_);
    for (;;) {
        jobReady_.wait(lock, [this] { return job_ != nullptr || closing_; });
        if (job_ == nullptr) {
            return;
        }
        std::function<void()> job = std::move(job_);
        job_ = nullptr;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
    }
}

bool TransferSlot::Poll(bool& ok, uint32_t now) {
    if (done_.load(std::memory_order_acquire)) {
        Release();
        ok = result_;
        return true;
    }
    if (IsPast(now, transferDeadline_) || IsPast(now, chunkDeadline_.load(std::memory_order_relaxed))) {
        Abandon();
        ok = false;
        return true;
    }
    return false;
}

void TransferSlot::Abandon() {
    if (!launched_) {
        return;
    }
    abort_.store(true, std::memory_order_relaxed);
    // The cancel is repeated because the worker may be between two pipe calls when
    // it first arrives; the abort flag stops it from starting another.
    while (!done_.load(std::memory_order_acquire)) {
        pipe_->Cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Release();
    result_ = false;
}

// The pipe is let go with the transfer, so a device handle the link has dropped
// closes as soon as no transfer uses it.
void TransferSlot::Release() {
    launched_ = false;
    pipe_.reset();
}

uint32_t TransferSlot::TakeChunk(uint32_t chunkSize, uint32_t chunkDeadline) {
    const uint32_t chunk = std::min(remaining_, chunkSize);
    remaining_ -= chunk;
    chunkDeadline_.store(chunkDeadline, std::memory_order_relaxed);
    return chunk;
}

bool TransferSlot::TimeLeft(uint32_t now, uint32_t& ms) const {
    if (abort_.load(std::memory_order_relaxed)) {
        return false;
    }
    const uint32_t chunkDeadline = chunkDeadline_.load(std::memory_order_relaxed);
    const uint32_t deadline = IsPast(transferDeadline_, chunkDeadline) ? chunkDeadline : transferDeadline_;
    const auto left = static_cast<int32_t>(deadline - now);
    if (left <= 0) {
        return false;
    }
    ms = static_cast<uint32_t>(left);
    return true;
}

void TransferSlot::Finish(bool result) {
    result_ = result;
    done_.store(true, std::memory_order_release);
}

// Tick counts wrap at 2^32; the difference tells which side of the deadline `now` is.
bool TransferSlot::IsPast(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) > 0;
}

}  // namespace qbr
