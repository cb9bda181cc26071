#include "emulator/ProgrammerFirmware.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <string_view>

namespace qbr {
namespace {

enum Opcode : uint8_t {
    kChipRead = 0x11,
    kChipWrite = 0x12,
    kStatus = 0x13,
    kErase = 0x14,
    kChipId = 0x15,
    kVersion = 0x17,
    kSerial = 0x18,
    kBoot = 0xF2,
    kSelfTest = 0xF3,
};

constexpr uint8_t kSpiFlashCode = 1;
constexpr size_t kVersionReplySize = 102;
constexpr size_t kSerialReplySize = 20;
constexpr size_t kBootReplySize = 30;
constexpr size_t kSelfTestBlockSize = 1000;
// "USB BOOT COMMAND" and its terminating zero, the boot request's bytes 1 to 17.
constexpr uint8_t kBootWord[17] = {'U', 'S', 'B', ' ', 'B', 'O', 'O', 'T', ' ',
                                   'C', 'O', 'M', 'M', 'A', 'N', 'D', 0};
// A passing self test has "ok" at bytes 14 and 15 of its block.
constexpr std::string_view kSelfTestPassed = "SELFTEST v1.0 ok";
constexpr std::string_view kSelfTestFailed = "SELFTEST v1.0 NG";

// Length of each request; 0 for an unknown opcode.
size_t RequestLength(uint8_t opcode) {
    switch (opcode) {
    case kChipRead: return 15;
    case kChipWrite: return 17;
    case kStatus:
    case kErase:
    case kChipId: return 3;
    case kVersion:
    case kSerial:
    case kSelfTest: return 2;
    case kBoot: return 23;
    default: return 0;
    }
}

uint32_t BigEndian32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

std::vector<uint8_t> TextReply(uint8_t opcode, size_t size, std::string_view text) {
    std::vector<uint8_t> reply(size, 0);
    reply[0] = opcode;
    std::copy_n(text.begin(), std::min(text.size(), size - 2), reply.begin() + 2);
    return reply;
}

bool IsValidBootRequest(std::span<const uint8_t> request) {
    const auto word = request.subspan(1, sizeof kBootWord);
    const uint8_t sum = std::accumulate(request.begin(), request.begin() + 23, uint8_t{0});
    return std::equal(word.begin(), word.end(), kBootWord) && sum == 0;
}

}  // namespace

ProgrammerFirmware::ProgrammerFirmware(const ChipRecord& chip) : chip_(chip) {}

void ProgrammerFirmware::InsertChip(const ChipRecord& chip) {
    chip_ = VirtualChip(chip);
}

void ProgrammerFirmware::InjectFault(const EmulatorFault& fault) {
    faults_[fault.kind] = fault.value;
}

void ProgrammerFirmware::ClearFaults() {
    faults_.clear();
    straysLeft_ = 0;
}

void ProgrammerFirmware::Restart() {
    packets_.clear();
    straysLeft_ = 0;
    inPhase_.reset();
    outPhase_.reset();
    eraseEnd_ = {};
}

std::optional<uint64_t> ProgrammerFirmware::FaultValue(FaultKind kind) const {
    auto it = faults_.find(kind);
    if (it == faults_.end()) return std::nullopt;
    return it->second;
}

// The first fault that lies inside a data phase of `total` bytes; a short chunk
// only ends data on its way to the host.
std::optional<ProgrammerFirmware::FaultPoint> ProgrammerFirmware::PhaseFault(uint32_t total, bool towardsHost) const {
    std::optional<FaultPoint> first;
    for (FaultKind kind : {FaultKind::UnplugAfter, FaultKind::ReplugAfter, FaultKind::Stall, FaultKind::ShortChunk}) {
        if (kind == FaultKind::ShortChunk && !towardsHost) continue;
        const std::optional<uint64_t> at = FaultValue(kind);
        if (at && *at < total && (!first || *at < first->at)) first = FaultPoint{*at, kind};
    }
    return first;
}

// How far the data phase can go before it ends or meets a fault.
uint64_t ProgrammerFirmware::PhaseLimit(uint32_t total, uint32_t done, bool towardsHost) const {
    const std::optional<FaultPoint> fault = PhaseFault(total, towardsHost);
    return fault ? std::max<uint64_t>(done, fault->at) : total;
}

ProgrammerFirmware::Stop ProgrammerFirmware::HitFault(FaultKind kind) {
    switch (kind) {
    case FaultKind::ShortChunk:
        inPhase_.reset();
        return Stop::None;
    case FaultKind::UnplugAfter:
        faults_.erase(kind);
        return Stop::Unplug;
    case FaultKind::ReplugAfter:
        faults_.erase(kind);
        return Stop::Replug;
    default:
        return Stop::Stall;
    }
}

uint32_t ProgrammerFirmware::TakeSize(uint32_t count) const {
    if (!outPhase_) return count;
    const uint64_t limit = PhaseLimit(outPhase_->total, outPhase_->done, false);
    return static_cast<uint32_t>(std::min<uint64_t>(count, limit - outPhase_->done));
}

ProgrammerFirmware::Moved ProgrammerFirmware::Take(std::span<const uint8_t> bytes) {
    if (outPhase_) return TakeData(bytes);
    HandleRequest(bytes);
    return {static_cast<uint32_t>(bytes.size()), Stop::None};
}

// A transfer that cannot move all its bytes because a fault point lies ahead
// moves up to that point and then meets the fault.
ProgrammerFirmware::Moved ProgrammerFirmware::TakeData(std::span<const uint8_t> bytes) {
    OutPhase& phase = *outPhase_;
    const std::optional<FaultPoint> fault = PhaseFault(phase.total, false);
    const uint32_t count = TakeSize(static_cast<uint32_t>(bytes.size()));
    phase.sink(phase.done, bytes.first(count));
    phase.done += count;
    Moved moved{count, Stop::None};
    if (fault && count < bytes.size()) moved.stop = HitFault(fault->kind);
    if (outPhase_ && outPhase_->done == outPhase_->total) outPhase_.reset();
    return moved;
}

bool ProgrammerFirmware::CanGive() const {
    return straysLeft_ > 0 || !packets_.empty() || inPhase_;
}

uint32_t ProgrammerFirmware::GiveSize(uint32_t count) const {
    if (straysLeft_ > 0) return std::min<uint32_t>(count, static_cast<uint32_t>(stray_.size()));
    if (!packets_.empty()) return std::min<uint32_t>(count, static_cast<uint32_t>(packets_.front().size()));
    if (!inPhase_) return 0;
    const uint64_t limit = PhaseLimit(inPhase_->total, inPhase_->done, true);
    return static_cast<uint32_t>(std::min<uint64_t>(count, limit - inPhase_->done));
}

ProgrammerFirmware::Moved ProgrammerFirmware::Give(std::span<uint8_t> buffer) {
    if (straysLeft_ > 0) {
        if (straysLeft_ != EmulatorFault::kEndless) --straysLeft_;
        return GivePacket(stray_, buffer);
    }
    if (!packets_.empty()) {
        const Bytes packet = std::move(packets_.front());
        packets_.pop_front();
        return GivePacket(packet, buffer);
    }
    if (inPhase_) return GiveData(buffer);
    return {};
}

// A packet longer than the buffer loses its tail, as on a real pipe.
ProgrammerFirmware::Moved ProgrammerFirmware::GivePacket(const Bytes& packet, std::span<uint8_t> buffer) {
    const size_t count = std::min(packet.size(), buffer.size());
    std::copy_n(packet.begin(), count, buffer.begin());
    return {static_cast<uint32_t>(count), Stop::None};
}

ProgrammerFirmware::Moved ProgrammerFirmware::GiveData(std::span<uint8_t> buffer) {
    InPhase& phase = *inPhase_;
    const std::optional<FaultPoint> fault = PhaseFault(phase.total, true);
    const uint32_t count = GiveSize(static_cast<uint32_t>(buffer.size()));
    phase.source(phase.done, buffer.first(count));
    phase.done += count;
    Moved moved{count, Stop::None};
    if (fault && count < buffer.size()) moved.stop = HitFault(fault->kind);
    if (inPhase_ && inPhase_->done == inPhase_->total) inPhase_.reset();
    return moved;
}

void ProgrammerFirmware::HandleRequest(std::span<const uint8_t> request) {
    inPhase_.reset();
    straysLeft_ = 0;
    if (request.empty() || FaultValue(FaultKind::NoReply)) return;
    const size_t length = RequestLength(request[0]);
    if (length == 0 || request.size() < length) return;
    switch (request[0]) {
    case kChipRead: return OnChipRead(request);
    case kChipWrite: return OnChipWrite(request);
    case kStatus: return OnStatus();
    case kErase: return OnErase(request);
    case kChipId: return OnChipId(request);
    case kVersion: return OnVersion();
    case kSerial: return OnSerial();
    case kBoot: return OnBoot(request);
    case kSelfTest: return OnSelfTest();
    }
}

// Queues a reply behind the stray replies the faults ask for: copies of it under
// the next opcode. False when the real reply will never reach the host, so the
// command must not go on.
bool ProgrammerFirmware::Reply(Bytes reply) {
    straysLeft_ = FaultValue(FaultKind::StrayReplies).value_or(0);
    if (straysLeft_ > 0) {
        stray_ = reply;
        stray_[0] = static_cast<uint8_t>(reply[0] + 1);
    }
    if (straysLeft_ == EmulatorFault::kEndless) return false;
    packets_.push_back(std::move(reply));
    return true;
}

void ProgrammerFirmware::OnChipRead(std::span<const uint8_t> request) {
    const uint8_t protocolCode = request[2];
    const uint32_t address = BigEndian32(request, 3);
    const uint32_t count = BigEndian32(request, 7);
    if (Rejecting()) {
        Reply({kChipRead, 0x01, 0x01});
        return;
    }
    if (!Reply({kChipRead, 0x01, 0x00}) || count == 0) return;
    inPhase_ = InPhase{count, 0, [this, protocolCode, address](uint32_t offset, std::span<uint8_t> out) {
                           ReadChip(protocolCode, uint64_t{address} + offset, out);
                       }};
}

// Chip data for a family other than the chip's reads as erased.
void ProgrammerFirmware::ReadChip(uint8_t protocolCode, uint64_t address, std::span<uint8_t> out) const {
    if (protocolCode != chip_.ProtocolCode()) {
        std::fill(out.begin(), out.end(), 0xFF);
        return;
    }
    chip_.Read(address, out);
    const std::optional<uint64_t> flipped = FaultValue(FaultKind::FlipByte);
    if (flipped && *flipped >= address && *flipped - address < out.size()) out[*flipped - address] ^= 0xFF;
}

void ProgrammerFirmware::OnChipWrite(std::span<const uint8_t> request) {
    const uint8_t protocolCode = request[2];
    const uint32_t address = BigEndian32(request, 3);
    const uint32_t count = BigEndian32(request, 7);
    if (Rejecting()) {
        Reply({kChipWrite, 0x01, 0x00});
        return;
    }
    if (!Reply({kChipWrite, 0x01, 0x01}) || count == 0) return;
    outPhase_ = OutPhase{count, 0, [this, protocolCode, address](uint32_t offset, std::span<const uint8_t> data) {
                             if (protocolCode == chip_.ProtocolCode()) chip_.Program(uint64_t{address} + offset, data);
                         }};
}

void ProgrammerFirmware::OnStatus() {
    const bool busy = FaultValue(FaultKind::BusyForever) || Clock::now() < eraseEnd_;
    Reply({kStatus, static_cast<uint8_t>(Rejecting() ? 0 : 1), static_cast<uint8_t>(busy)});
}

// Only SPI flash can be erased; the programmer refuses the request for the
// EEPROM families. An erase sent while an EEPROM sits in the socket is
// accepted but leaves that chip alone.
void ProgrammerFirmware::OnErase(std::span<const uint8_t> request) {
    const uint8_t protocolCode = request[2];
    const bool accepted = protocolCode == kSpiFlashCode && !Rejecting();
    if (!Reply({kErase, 0x01, static_cast<uint8_t>(accepted)}) || !accepted) return;
    if (chip_.ProtocolCode() == protocolCode) chip_.Erase();
    eraseEnd_ = Clock::now() + eraseTime_;
}

void ProgrammerFirmware::OnChipId(std::span<const uint8_t> request) {
    std::array<uint8_t, 2> id = {0xFF, 0xFF};
    if (request[2] == chip_.ProtocolCode()) id = chip_.IdBytes();
    Reply({kChipId, static_cast<uint8_t>(Rejecting() ? 0 : 2), id[0], id[1], 0x00});
}

void ProgrammerFirmware::OnVersion() {
    Reply(TextReply(kVersion, kVersionReplySize, versionText_));
}

void ProgrammerFirmware::OnSerial() {
    Reply(TextReply(kSerial, kSerialReplySize, serialText_));
}

// The reply echoes the request's 17 bytes after the opcode; byte 18 says whether
// the image will be taken.
void ProgrammerFirmware::OnBoot(std::span<const uint8_t> request) {
    const bool accepted = IsValidBootRequest(request) && !Rejecting();
    Bytes reply(kBootReplySize, 0);
    reply[0] = kBoot;
    std::copy_n(request.begin() + 1, sizeof kBootWord, reply.begin() + 1);
    reply[18] = accepted ? 1 : 0;
    if (!Reply(std::move(reply)) || !accepted) return;
    firmwareImage_.clear();
    const uint32_t length = BigEndian32(request, 18);
    if (length == 0) return;
    outPhase_ = OutPhase{length, 0, [this](uint32_t, std::span<const uint8_t> data) {
                             firmwareImage_.insert(firmwareImage_.end(), data.begin(), data.end());
                         }};
}

void ProgrammerFirmware::OnSelfTest() {
    if (!Reply({kSelfTest, 0x00})) return;
    const std::string_view text = FaultValue(FaultKind::SelfTestFail) ? kSelfTestFailed : kSelfTestPassed;
    Bytes block(kSelfTestBlockSize, 0);
    std::copy(text.begin(), text.end(), block.begin());
    inPhase_ = InPhase{kSelfTestBlockSize, 0, [block](uint32_t offset, std::span<uint8_t> out) {
                           std::copy_n(block.begin() + offset, out.size(), out.begin());
                       }};
}

}  // namespace qbr
