// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/AccessPath.h"
#include "link/LinkTimings.h"
#include "link/PipeHandle.h"
#include "link/TransferSlot.h"
#include "link/TransferTrace.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qbr {

// The road to the programmer: reaches it through an access path (see AccessPath),
// and moves data in timed transfers on worker threads (at most one read and one
// write at a time). Open and every Start/Poll call belong to one thread, the UI
// thread.
class UsbLink {
public:
    using AlertHandler = AccessPath::AlertHandler;
    using OpenProblem = AccessPath::OpenProblem;

    static constexpr uint32_t kChunkSize = 4096;

    explicit UsbLink(std::unique_ptr<AccessPath> path, LinkTimings timings = {});
    // Abandons running transfers.
    ~UsbLink();
    UsbLink(const UsbLink&) = delete;
    UsbLink& operator=(const UsbLink&) = delete;

    void SetAlertHandler(AlertHandler handler) { alert_ = std::move(handler); }
    // Records every pipe call from now on into `trace`; to be set before the first
    // transfer starts.
    void SetTrace(std::unique_ptr<TransferTrace> trace) { trace_ = std::move(trace); }
    bool UsesLibraryPath() const { return path_->IsLibraryPath(); }
    const LinkTimings& Timings() const { return timings_; }

    // Finds the programmer and makes sure it is open; called whenever the link is
    // needed, also while it is open already. True when the device is open (on the
    // direct path the pipes may still have failed, after an alert each).
    bool Open();
    // AccessDenied when the last Open found the programmer but the system refused
    // this user access to it (the device rule is missing); None after a successful
    // Open and before the first.
    OpenProblem LastOpenProblem() const { return lastOpenProblem_; }

    // Starts a read of at most `length` bytes into `buffer` on a worker; false when
    // there is no read pipe. `counter` is cleared and then raised by each chunk once
    // its bytes are in the buffer. Buffer and counter must outlive the transfer,
    // that is until PollRead has reported its end.
    bool StartRead(uint8_t* buffer, uint32_t length, std::atomic<uint32_t>& counter, uint32_t timeoutMs);
    // True when the read has ended; `ok` is then its outcome.
    bool PollRead(bool& ok);
    // StartRead, then PollRead with a pause between polls until the end.
    bool Read(uint8_t* buffer, uint32_t length, std::atomic<uint32_t>& counter, uint32_t timeoutMs);
    bool StartWrite(const uint8_t* buffer, uint32_t length, std::atomic<uint32_t>& counter, uint32_t timeoutMs);
    bool PollWrite(bool& ok);
    bool Write(const uint8_t* buffer, uint32_t length, std::atomic<uint32_t>& counter, uint32_t timeoutMs);
    // Ends a running read at once; its buffer is no longer touched when this returns.
    void AbortRead();

private:
    bool Start(TransferSlot& slot, std::shared_ptr<PipeHandle> pipe, uint32_t length, std::atomic<uint32_t>& counter,
               uint32_t timeoutMs, std::function<void()> body);
    bool Finish(TransferSlot& slot, bool& ok);
    // Polls the transfer, pausing between polls, until it ends; its outcome.
    bool WaitFor(TransferSlot& slot);
    uint32_t Now() const { return timings_.clock(); }
    uint32_t PipeTimeout(uint32_t timeLeft) const;
    void Pause(uint32_t ms) const;
    void ReadWorker(uint8_t* cursor);
    void WriteWorker(const uint8_t* cursor);
    bool ReadPipe(uint8_t* cursor, uint32_t count, uint32_t& received);
    bool WritePipe(const uint8_t* cursor, uint32_t count, uint32_t& written);
    void TracePipeCall(const TransferSlot& slot, bool in, const uint8_t* data, uint32_t count, uint32_t moved, bool ok,
                       uint32_t started, uint32_t timeout) const;

    LinkTimings timings_;
    std::unique_ptr<AccessPath> path_;
    AlertHandler alert_;
    OpenProblem lastOpenProblem_ = OpenProblem::None;

    // Declared before the slots, so it outlives their worker threads.
    std::unique_ptr<TransferTrace> trace_;
    TransferSlot readSlot_;
    TransferSlot writeSlot_;
};

}  // namespace qbr
