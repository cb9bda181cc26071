// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ProgrammerProtocol.h"

#include "chipdb/ChipType.h"

#include <algorithm>
#include <vector>

namespace qbr {

namespace {

uint8_t HighVoltage(const ChipRecord& chip) {
    return chip.voltage > 40 ? 1 : 0;
}

uint8_t Mode24(const ChipRecord& chip) {
    if (chip.deviceId == 0xFE) {
        return 4;
    }
    return chip.capacity <= 2048 ? 0x14 : 0x24;
}

}  // namespace

PollResult ProgrammerProtocol::PollOperation() {
    bool ok = false;
    switch (state_) {
    case OperationState::Reading: {
        UpdatePercent(readDone_.load(std::memory_order_acquire), readTotal_);
        const bool finished = link_->PollRead(ok);
        return PollTransfer(finished, ok, PollResult::Reading);
    }
    case OperationState::Writing: {
        UpdatePercent(writeDone_.load(std::memory_order_acquire), writeTotal_);
        const bool finished = link_->PollWrite(ok);
        return PollTransfer(finished, ok, PollResult::Writing);
    }
    case OperationState::Erasing: return PollErase();
    case OperationState::Idle: break;
    }
    return PollResult::Done;
}

PollResult ProgrammerProtocol::PollTransfer(bool finished, bool ok, PollResult running) {
    if (!finished) {
        return running;
    }
    state_ = OperationState::Idle;
    if (!ok) {
        if (running == PollResult::Reading) {
            ReadEndedEarly(readTotal_, readDone_.load(std::memory_order_acquire));
        } else if (writeDone_.load(std::memory_order_acquire) < writeTotal_) {
            // The programmer still expects the rest of the data and will take the
            // next request as part of it.
            outOfStep_ = true;
        }
        return PollResult::Failed;
    }
    percent_ = 100;
    return PollResult::Done;
}

PollResult ProgrammerProtocol::PollErase() {
    uint8_t status = 0;
    if (!QueryBusyStatus(status)) {
        state_ = OperationState::Idle;
        return PollResult::Failed;
    }
    if (status == 1) {
        if (Timings().clock() - eraseStart_ > Timings().eraseTimeLimitMs(chip_.capacity)) {
            state_ = OperationState::Idle;
            return PollResult::Failed;
        }
        percent_ = 0;
        return PollResult::Busy;
    }
    percent_ = 100;
    state_ = OperationState::Idle;
    return PollResult::Done;
}

// An empty transfer counts as complete. The product is taken in 64 bits so that
// no total can overflow it.
void ProgrammerProtocol::UpdatePercent(uint32_t done, uint32_t total) {
    if (total == 0) {
        percent_ = 100;
        return;
    }
    const uint64_t percent = uint64_t{done} * 100 / total;
    percent_ = static_cast<uint16_t>(std::min<uint64_t>(percent, 100));
}

void ProgrammerProtocol::CancelRead() {
    const bool reading = state_ == OperationState::Reading;
    state_ = OperationState::Idle;
    if (link_ != nullptr) {
        link_->AbortRead();
    }
    if (reading) {
        ReadEndedEarly(readTotal_, readDone_.load(std::memory_order_acquire));
    }
}

void ProgrammerProtocol::ReadEndedEarly(uint32_t total, uint32_t received) {
    owed_ = total > received ? total - received : 0;
}

// Reads away what the programmer still owes of a read the host gave up: exactly
// those bytes, so that the last read ends full instead of waiting for a packet
// that never comes, in large transfers that cost no more than a read would. Each
// transfer may take the owed bytes' time at full speed plus the reply time-out (a
// slow chip makes progress and goes on). A short packet means the programmer ended
// the data itself; silence leaves its state unknown.
void ProgrammerProtocol::Drain() {
    constexpr uint32_t kPiece = 64 * UsbLink::kChunkSize;
    constexpr uint32_t kFullSpeedBytesPerMs = 1200;
    std::vector<uint8_t> scratch(std::min(owed_, kPiece));
    bool ended = false;
    bool silent = false;
    while (owed_ > 0 && !ended && !silent) {
        const uint32_t piece = std::min(owed_, kPiece);
        std::atomic<uint32_t> received{0};
        const uint32_t timeoutMs = Timings().replyTimeoutMs + piece / kFullSpeedBytesPerMs;
        const bool ok = link_->Read(scratch.data(), piece, received, timeoutMs);
        const uint32_t count = std::min(received.load(std::memory_order_acquire), owed_);
        owed_ -= count;
        ended = ok && count < piece;
        silent = !ok && count == 0;
    }
    outOfStep_ = outOfStep_ || (owed_ > 0 && !ended);
    owed_ = 0;
}

bool ProgrammerProtocol::SetChipParameters(const ChipRecord& record) {
    chip_ = record;
    switch (FamilyOf(record)) {
    case ChipFamily::SpiFlash:
        protocolCode_ = 1;
        parameters_[0] = 3;
        parameters_[2] = 0;
        return true;
    case ChipFamily::Eeprom24:
        protocolCode_ = 2;
        parameters_[0] = Mode24(record);
        parameters_[2] = HighVoltage(record);
        return true;
    case ChipFamily::Eeprom25:
        protocolCode_ = 3;
        parameters_[0] = record.capacity <= 512 ? 1 : 0x11;
        parameters_[2] = HighVoltage(record);
        return true;
    case ChipFamily::Eeprom93:
        protocolCode_ = 4;
        parameters_[0] = static_cast<uint8_t>((record.modeParam << 4) | 8);
        parameters_[1] = record.dataWidth == 8 ? 3 : 1;
        parameters_[2] = HighVoltage(record);
        return true;
    case ChipFamily::Unknown: break;
    }
    return false;
}

// Replies of other commands are skipped, but only within the reply time-out taken
// as a whole: a programmer that keeps sending stray replies can't hold the caller
// beyond it.
bool ProgrammerProtocol::ReceiveReply(uint8_t opcode, std::span<uint8_t> reply, size_t capacity) {
    if (link_ == nullptr) {
        return false;
    }
    const LinkTimings& timings = link_->Timings();
    const auto wanted = static_cast<uint32_t>(std::min(reply.size(), kReplyBufferSize));
    const auto expected = static_cast<uint32_t>(std::min(capacity, kReplyBufferSize));
    const uint32_t room = std::max<uint32_t>(1, (expected + kMaxPacketSize - 1) / kMaxPacketSize) * kMaxPacketSize;
    const uint32_t deadline = timings.clock() + timings.replyTimeoutMs;
    std::array<uint8_t, kReplyBufferSize> incoming{};
    for (;;) {
        const auto timeLeft = static_cast<int32_t>(deadline - timings.clock());
        std::atomic<uint32_t> received{0};
        if (timeLeft <= 0 || !link_->Read(incoming.data(), room, received, static_cast<uint32_t>(timeLeft))) {
            return false;
        }
        const uint32_t count = std::min(received.load(std::memory_order_acquire), wanted);
        if (count > 0 && incoming[0] == opcode) {
            std::fill(std::copy_n(incoming.begin(), count, reply.begin()), reply.end(), uint8_t{0});
            return true;
        }
    }
}

}  // namespace qbr
