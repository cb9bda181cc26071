// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/UsbLink.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qbr {

UsbLink::UsbLink(std::unique_ptr<AccessPath> path, LinkTimings timings)
    : timings_(std::move(timings)), path_(std::move(path)) {}

bool UsbLink::Open() {
    OpenProblem problem = OpenProblem::NotFound;
    const bool open = path_->Open(problem, alert_);
    lastOpenProblem_ = open ? OpenProblem::None : problem;
    return open;
}

UsbLink::~UsbLink() {
    readSlot_.Abandon();
    writeSlot_.Abandon();
}

bool UsbLink::StartRead(uint8_t* buffer, uint32_t length, std::atomic<uint32_t>& counter, uint32_t timeoutMs) {
    return Start(readSlot_, path_->ReadPipe(), length, counter, timeoutMs, [this, buffer] { ReadWorker(buffer); });
}

bool UsbLink::StartWrite(const uint8_t* buffer, uint32_t length, std::atomic<uint32_t>& counter, uint32_t timeoutMs) {
    return Start(writeSlot_, path_->WritePipe(), length, counter, timeoutMs, [this, buffer] { WriteWorker(buffer); });
}

bool UsbLink::Start(TransferSlot& slot, std::shared_ptr<PipeHandle> pipe, uint32_t length,
                    std::atomic<uint32_t>& counter, uint32_t timeoutMs, std::function<void()> body) {
    if (!pipe) {
        return false;
    }
    const uint32_t now = Now();
    slot.Prepare(std::move(pipe), length, counter, now + timeoutMs, now + timings_.chunkDeadlineMs);
    slot.Launch(std::move(body));
    return true;
}

bool UsbLink::PollRead(bool& ok) {
    return Finish(readSlot_, ok);
}

bool UsbLink::PollWrite(bool& ok) {
    return Finish(writeSlot_, ok);
}

bool UsbLink::Finish(TransferSlot& slot, bool& ok) {
    if (!slot.Poll(ok, Now())) {
        return false;
    }
    if (!ok) {
        path_->TransferFailed();
    }
    return true;
}

bool UsbLink::Read(uint8_t* buffer, uint32_t length, std::atomic<uint32_t>& counter, uint32_t timeoutMs) {
    return StartRead(buffer, length, counter, timeoutMs) && WaitFor(readSlot_);
}

bool UsbLink::Write(const uint8_t* buffer, uint32_t length, std::atomic<uint32_t>& counter, uint32_t timeoutMs) {
    return StartWrite(buffer, length, counter, timeoutMs) && WaitFor(writeSlot_);
}

bool UsbLink::WaitFor(TransferSlot& slot) {
    bool ok = false;
    while (!Finish(slot, ok)) {
        Pause(timings_.pollPauseMs);
    }
    return ok;
}

void UsbLink::AbortRead() {
    readSlot_.Abandon();
}

void UsbLink::Pause(uint32_t ms) const {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

namespace {

// Moves a transfer chunk by chunk: the chunks fill (or drain) the buffer in order,
// and the counter is raised only once a chunk's bytes are in place (also the part
// of a chunk that failed). A chunk shorter than asked for ends the transfer
// successfully; a transfer of 0 bytes needs no pipe call.
template <typename Byte, typename PipeCall>
bool MoveChunks(TransferSlot& slot, Byte* cursor, const LinkTimings& timings, PipeCall pipeCall) {
    uint32_t chunk = 0;
    uint32_t moved = 0;
    do {
        chunk = slot.TakeChunk(UsbLink::kChunkSize, timings.clock() + timings.chunkDeadlineMs);
        if (chunk == 0) {
            return true;
        }
        moved = 0;
        if (!pipeCall(cursor, chunk, moved)) {
            // What arrived before the failure is in place and counts.
            slot.AddToCounter(std::min(moved, chunk));
            return false;
        }
        moved = std::min(moved, chunk);
        cursor += moved;
        slot.AddToCounter(moved);
    } while (moved == chunk && chunk == UsbLink::kChunkSize && slot.Remaining() > 0);
    return true;
}

}  // namespace

void UsbLink::ReadWorker(uint8_t* cursor) {
    readSlot_.Finish(MoveChunks(readSlot_, cursor, timings_, [this](uint8_t* at, uint32_t count, uint32_t& moved) {
        return ReadPipe(at, count, moved);
    }));
}

// A chunk write is tried again (inside WritePipe) until it succeeds or a deadline passes.
void UsbLink::WriteWorker(const uint8_t* cursor) {
    writeSlot_.Finish(
        MoveChunks(writeSlot_, cursor, timings_,
                   [this](const uint8_t* at, uint32_t count, uint32_t& moved) { return WritePipe(at, count, moved); }));
}

// Each pipe call waits no longer than the nearer deadline leaves, so a stalled
// call returns by itself in time even where it can't be cancelled.
bool UsbLink::ReadPipe(uint8_t* cursor, uint32_t count, uint32_t& received) {
    uint32_t timeLeft = 0;
    if (!readSlot_.TimeLeft(Now(), timeLeft)) {
        return false;
    }
    const uint32_t timeout = PipeTimeout(timeLeft);
    const uint32_t started = Now();
    received = 0;
    const bool ok = readSlot_.Pipe().Read(cursor, count, received, timeout);
    TracePipeCall(readSlot_, true, cursor, count, received, ok, started, timeout);
    return ok;
}

bool UsbLink::WritePipe(const uint8_t* cursor, uint32_t count, uint32_t& written) {
    uint32_t timeLeft = 0;
    while (writeSlot_.TimeLeft(Now(), timeLeft)) {
        const uint32_t timeout = PipeTimeout(timeLeft);
        const uint32_t started = Now();
        written = 0;
        const bool ok = writeSlot_.Pipe().Write(cursor, count, written, timeout);
        TracePipeCall(writeSlot_, false, cursor, count, written, ok, started, timeout);
        if (ok) {
            return true;
        }
        Pause(timings_.writeRetryPauseMs);
    }
    return false;
}

// A failed call that used up its time-out timed out; one whose transfer has no
// time left was cut off by the poller (abandoned, or past a deadline).
void UsbLink::TracePipeCall(const TransferSlot& slot, bool in, const uint8_t* data, uint32_t count, uint32_t moved,
                            bool ok, uint32_t started, uint32_t timeout) const {
    if (!trace_) {
        return;
    }
    TraceStatus status = TraceStatus::Ok;
    uint32_t timeLeft = 0;
    if (!ok) {
        const uint32_t now = Now();
        status = now - started >= timeout        ? TraceStatus::Timeout
                 : !slot.TimeLeft(now, timeLeft) ? TraceStatus::Cancelled
                                                 : TraceStatus::Failed;
    }
    trace_->Record(in, slot.Pipe().EndpointAddress(in), count, moved, status, data);
}

uint32_t UsbLink::PipeTimeout(uint32_t timeLeft) const {
    return path_->IsLibraryPath() ? std::min(timeLeft, timings_.libraryPipeTimeoutMs) : timeLeft;
}

}  // namespace qbr
