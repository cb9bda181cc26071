// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/ProgrammerProtocol.h"

#include <algorithm>
#include <cstring>

namespace qbr {

namespace {

constexpr uint8_t kOpRead = 0x11;
constexpr uint8_t kOpWrite = 0x12;
constexpr uint8_t kOpBusyStatus = 0x13;
constexpr uint8_t kOpErase = 0x14;
constexpr uint8_t kOpChipId = 0x15;
constexpr uint8_t kOpVersion = 0x17;
constexpr uint8_t kOpSerial = 0x18;
constexpr uint8_t kOpFirmwareUpdate = 0xF2;
constexpr uint8_t kOpSelfTest = 0xF3;

// The boot request's text, sent with its terminating 0.
constexpr char kBootCommand[] = "USB BOOT COMMAND";
constexpr size_t kBootCommandSize = sizeof kBootCommand;

void PutU32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

void PutU16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

// Makes the bytes before the last one, and the last one, sum to 0 modulo 256.
uint8_t NegatedSum(std::span<const uint8_t> bytes) {
    uint8_t sum = 0;
    for (uint8_t b : bytes) {
        sum = static_cast<uint8_t>(sum + b);
    }
    return static_cast<uint8_t>(-sum);
}

bool IsSerialCharacter(uint8_t b) {
    return b >= 0x20 && b <= 0x7A;
}

}  // namespace

// A request goes out only once the programmer has nothing left to send of a read
// the host gave up.
bool ProgrammerProtocol::Exchange(std::span<const uint8_t> request, uint32_t writeTimeoutMs, std::span<uint8_t> reply,
                                  size_t capacity) {
    if (owed_ > 0) {
        Drain();
    }
    std::atomic<uint32_t> written{0};
    const bool answered = link_->Write(request.data(), static_cast<uint32_t>(request.size()), written,
                                       writeTimeoutMs) &&
                          written.load(std::memory_order_acquire) == request.size() &&
                          ReceiveReply(request[0], reply, capacity == 0 ? reply.size() : capacity);
    outOfStep_ = outOfStep_ && !answered;
    return answered;
}

bool ProgrammerProtocol::StartChipRead(uint8_t* buffer, uint32_t address, uint32_t count) {
    if (!IsReady()) {
        return false;
    }
    std::array<uint8_t, 15> request{kOpRead, 0x0A, protocolCode_};
    PutU32(&request[3], address);
    PutU32(&request[7], count);
    std::ranges::copy(parameters_, &request[11]);
    std::array<uint8_t, 3> reply{};
    if (!Exchange(request, Timings().requestWriteTimeoutMs, reply) || reply[1] != 1 || reply[2] != 0) {
        return false;
    }
    readTotal_ = count;
    readDone_.store(0, std::memory_order_relaxed);
    if (buffer == nullptr || !link_->StartRead(buffer, count, readDone_, Timings().chipReadTimeoutMs)) {
        return false;
    }
    state_ = OperationState::Reading;
    return true;
}

bool ProgrammerProtocol::StartChipWrite(const uint8_t* buffer, uint32_t address, uint32_t count, uint16_t pageSize) {
    if (!IsReady()) {
        return false;
    }
    std::array<uint8_t, 17> request{kOpWrite, 0x0C, protocolCode_};
    PutU32(&request[3], address);
    PutU32(&request[7], count);
    PutU16(&request[11], pageSize);
    std::ranges::copy(parameters_, &request[13]);
    std::array<uint8_t, 3> reply{};
    if (!Exchange(request, Timings().chipWriteRequestTimeoutMs, reply) || reply[1] != 1 || reply[2] != 1 ||
        buffer == nullptr) {
        return false;
    }
    return StartWriting(buffer, count, Timings().chipWriteTimeoutMs);
}

bool ProgrammerProtocol::StartWriting(const uint8_t* data, uint32_t length, uint32_t timeoutMs) {
    writeTotal_ = length;
    writeDone_.store(0, std::memory_order_relaxed);
    if (!link_->StartWrite(data, length, writeDone_, timeoutMs)) {
        return false;
    }
    state_ = OperationState::Writing;
    return true;
}

bool ProgrammerProtocol::QueryBusyStatus(uint8_t& status) {
    if (link_ == nullptr) {
        return false;
    }
    const std::array<uint8_t, 3> request{kOpBusyStatus, 0x00, protocolCode_};
    std::array<uint8_t, 3> reply{};
    if (!Exchange(request, Timings().requestWriteTimeoutMs, reply) || reply[1] != 1) {
        return false;
    }
    status = reply[2];
    return true;
}

// The programmer's erase reply is judged by its third byte only.
bool ProgrammerProtocol::StartChipErase() {
    if (!IsReady()) {
        return false;
    }
    const std::array<uint8_t, 3> request{kOpErase, 0x01, protocolCode_};
    std::array<uint8_t, 3> reply{};
    if (!Exchange(request, Timings().requestWriteTimeoutMs, reply) || reply[2] != 1) {
        return false;
    }
    state_ = OperationState::Erasing;
    eraseStart_ = Timings().clock();
    return true;
}

bool ProgrammerProtocol::ReadChipId(std::array<uint8_t, 2>& id) {
    if (link_ == nullptr) {
        return false;
    }
    const std::array<uint8_t, 3> request{kOpChipId, 0x00, protocolCode_};
    std::array<uint8_t, 5> reply{};
    if (!Exchange(request, Timings().requestWriteTimeoutMs, reply) || reply[1] != 2) {
        return false;
    }
    id = {reply[2], reply[3]};
    return true;
}

bool ProgrammerProtocol::ReadFirmwareVersion(std::array<char, kVersionTextSize>& text) {
    if (!IsReady()) {
        return false;
    }
    const std::array<uint8_t, 2> request{kOpVersion, 0x00};
    std::array<uint8_t, 2 + kVersionTextSize> reply{};
    if (!Exchange(request, Timings().requestWriteTimeoutMs, reply)) {
        return false;
    }
    std::memcpy(text.data(), &reply[2], kVersionTextSize);
    text.back() = '\0';
    return true;
}

// The reply is read as one of 20 bytes, yet the serial number is the 20 bytes from
// its third byte on: the whole reply is taken, 22 bytes when the programmer sends
// them all; whatever did not arrive reads as 0.
bool ProgrammerProtocol::ReadSerialNumber(std::array<uint8_t, kSerialSize>& serial) {
    if (!IsReady()) {
        return false;
    }
    const std::array<uint8_t, 2> request{kOpSerial, 0x00};
    std::array<uint8_t, 2 + kSerialSize> reply{};
    if (!Exchange(request, Timings().requestWriteTimeoutMs, reply, kSerialSize)) {
        return false;
    }
    std::transform(reply.begin() + 2, reply.end(), serial.begin(),
                   [](uint8_t b) { return IsSerialCharacter(b) ? b : uint8_t{0}; });
    return true;
}

bool ProgrammerProtocol::StartFirmwareUpdate(const uint8_t* image, uint32_t length) {
    if (!IsReady()) {
        return false;
    }
    std::array<uint8_t, 23> request{kOpFirmwareUpdate};
    std::memcpy(&request[1], kBootCommand, kBootCommandSize);
    PutU32(&request[18], length);
    request[22] = NegatedSum(std::span(request).first(22));
    std::array<uint8_t, 30> reply{};
    if (!Exchange(request, Timings().requestWriteTimeoutMs, reply) ||
        !std::equal(&request[1], &request[1 + kBootCommandSize], &reply[1]) || reply[18] != 1 || image == nullptr) {
        return false;
    }
    return StartWriting(image, length, Timings().firmwareTimeoutMs);
}

// The result block is read with room for whole packets and then cut to its
// first kSelfTestSize bytes; what did not arrive reads as 0.
bool ProgrammerProtocol::RunSelfTest(std::array<uint8_t, kSelfTestSize>& result) {
    if (!IsReady()) {
        return false;
    }
    const std::array<uint8_t, 2> request{kOpSelfTest, 0x00};
    std::array<uint8_t, 2> reply{};
    if (!Exchange(request, Timings().requestWriteTimeoutMs, reply)) {
        return false;
    }
    constexpr uint32_t kRoom = (kSelfTestSize + kMaxPacketSize - 1) / kMaxPacketSize * kMaxPacketSize;
    std::array<uint8_t, kRoom> block{};
    const bool ok = link_->Read(block.data(), kRoom, readDone_, Timings().selfTestTimeoutMs);
    const uint32_t received = readDone_.load(std::memory_order_acquire);
    if (!ok) {
        ReadEndedEarly(kRoom, received);
    }
    std::copy_n(block.begin(), kSelfTestSize, result.begin());
    return ok;
}

}  // namespace qbr
