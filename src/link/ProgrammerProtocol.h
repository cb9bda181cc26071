// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "link/UsbLink.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

namespace qbr {

enum class OperationState { Idle = 0, Reading = 1, Writing = 2, Erasing = 3 };

// What PollOperation reports: Done when nothing runs (or it just completed),
// Reading/Writing/Busy while a transfer or an erase runs, Failed when it ended in
// failure. After Done or Failed the protocol is idle again.
enum class PollResult { Done = 0, Reading = 1, Writing = 2, Busy = 3, Failed = 4 };

// The command layer: each command writes one request, takes the reply whose first
// byte repeats the opcode, and may start a chip transfer that runs in the
// background while the caller polls PollOperation. Every call comes from the UI
// thread; only the transfer counters are shared with the link's workers.
class ProgrammerProtocol {
public:
    static constexpr size_t kReplyBufferSize = 1024;
    static constexpr size_t kVersionTextSize = 100;
    static constexpr size_t kSerialSize = 20;
    static constexpr size_t kSelfTestSize = 1000;
    // The programmer is a full-speed USB device: data comes in packets of at most
    // this size, and a read must have room for every packet it may get.
    static constexpr uint32_t kMaxPacketSize = 64;

    void AttachLink(UsbLink& link) { link_ = &link; }

    PollResult PollOperation();
    OperationState State() const { return state_; }
    // 0..100 for the running operation.
    uint16_t GetPercent() const { return percent_; }
    // Bytes of the running chip read that are in its buffer.
    uint32_t GetBytesRead() const { return readDone_.load(std::memory_order_acquire); }
    // Stops a chip read at once; the protocol is idle again and the read's buffer is
    // no longer touched. The bytes counted so far stay counted. The programmer may
    // go on sending the rest, so the next request first drains it.
    void CancelRead();
    // True when the programmer may be out of step with the host: a write was given
    // up while the programmer still expected data, or data it still owed did not
    // come. Only a replug puts it right then; the next exchange that works clears it.
    bool OutOfStep() const { return outOfStep_; }

    // Takes the chip that the next commands concern: keeps a copy and derives the
    // protocol code and the parameter block from it. False for an unknown chip type
    // (the copy is kept, the parameters stay as they were).
    bool SetChipParameters(const ChipRecord& record);

    // Reads until a reply starting with `opcode` arrives, skipping others, within
    // the reply time-out. The reply is expected to hold `capacity` bytes (at most
    // kReplyBufferSize), but each read has room for whole packets (`capacity`
    // rounded up), so a longer reply still arrives instead of overflowing the read.
    // Its first reply.size() bytes go to `reply`; what did not arrive reads as 0.
    bool ReceiveReply(uint8_t opcode, std::span<uint8_t> reply, size_t capacity);

    // The commands. Those that start or read something refuse unless idle, sending
    // nothing; ReadChipId and QueryBusyStatus also run during an operation.
    // `buffer` and `image` must stay valid until PollOperation has reported the end.
    bool StartChipRead(uint8_t* buffer, uint32_t address, uint32_t count);
    bool StartChipWrite(const uint8_t* buffer, uint32_t address, uint32_t count, uint16_t pageSize);
    // `status` 1 while the programmer is still busy (erasing).
    bool QueryBusyStatus(uint8_t& status);
    bool StartChipErase();
    bool ReadChipId(std::array<uint8_t, 2>& id);
    // NUL-terminated; at most 99 characters.
    bool ReadFirmwareVersion(std::array<char, kVersionTextSize>& text);
    // Bytes outside 0x20..0x7A read as 0.
    bool ReadSerialNumber(std::array<uint8_t, kSerialSize>& serial);
    bool StartFirmwareUpdate(const uint8_t* image, uint32_t length);
    // Runs the self test and reads its result block; returns when it has ended.
    bool RunSelfTest(std::array<uint8_t, kSelfTestSize>& result);

private:
    // Attached and idle: the condition of the commands that start or read something.
    bool IsReady() const { return link_ != nullptr && state_ == OperationState::Idle; }
    const LinkTimings& Timings() const { return link_->Timings(); }
    // Sends a request and receives its reply of reply.size() bytes (of `capacity`
    // bytes, when the reply is read for more than it holds).
    bool Exchange(std::span<const uint8_t> request, uint32_t writeTimeoutMs, std::span<uint8_t> reply,
                  size_t capacity = 0);
    void Drain();
    void ReadEndedEarly(uint32_t total, uint32_t received);
    bool StartWriting(const uint8_t* data, uint32_t length, uint32_t timeoutMs);
    PollResult PollTransfer(bool finished, bool ok, PollResult running);
    PollResult PollErase();
    void UpdatePercent(uint32_t done, uint32_t total);

    UsbLink* link_ = nullptr;
    OperationState state_ = OperationState::Idle;
    uint32_t readTotal_ = 0;
    std::atomic<uint32_t> readDone_{0};
    uint32_t writeTotal_ = 0;
    std::atomic<uint32_t> writeDone_{0};
    uint16_t percent_ = 0;
    // Bytes of a read the host gave up that the programmer may still send.
    uint32_t owed_ = 0;
    bool outOfStep_ = false;
    uint32_t eraseStart_ = 0;
    ChipRecord chip_;
    uint8_t protocolCode_ = 0;
    // The four bytes at the end of the read and write requests: the family's
    // addressing and mode code, the 93 series' organisation (3 for 8-bit data, 1
    // otherwise), 1 for a chip above 4.0 V, and a reserved 0.
    std::array<uint8_t, 4> parameters_{};
};

}  // namespace qbr
