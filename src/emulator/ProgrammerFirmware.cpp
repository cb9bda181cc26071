// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/ProgrammerFirmware.h"

#include "chipdb/ChipType.h"

#include <algorithm>
#include <array>
#include <limits>
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
// Opcode, status, and the 20 characters of the serial number.
constexpr size_t kSerialReplySize = 22;
constexpr size_t kBootReplySize = 30;
constexpr size_t kSelfTestBlockSize = 1024;
constexpr uint32_t kPacket = ProgrammerFirmware::kMaxPacketSize;
// "USB BOOT COMMAND" and its terminating zero, the boot request's bytes 1 to 17.
constexpr uint8_t kBootWord[17] = {'U', 'S', 'B', ' ', 'B', 'O', 'O', 'T', ' ', 'C', 'O', 'M', 'M', 'A', 'N', 'D', 0};
// A passing self test has "ok" at bytes 14 and 15 of its block.
constexpr std::string_view kSelfTestPassed = "SELFTEST v1.0 ok";
constexpr std::string_view kSelfTestFailed = "SELFTEST v1.0 NG";

uint32_t BigEndian32(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

std::vector<uint8_t> TextReply(uint8_t opcode, size_t size, std::string_view text) {
    std::vector<uint8_t> reply(size, 0);
    reply[0] = opcode;
    std::copy_n(text.begin(), std::min(text.size(), size - 2), reply.begin() + 2);
    return reply;
}

RequestedAccess RequestedBy(std::span<const uint8_t> request, size_t parametersAt) {
    RequestedAccess access;
    access.protocolCode = request[2];
    access.address = BigEndian32(request, 3);
    access.modeByte = request[parametersAt];
    access.orgByte = request[parametersAt + 1];
    access.highVoltage = request[parametersAt + 2];
    access.reserved = request[parametersAt + 3];
    return access;
}

}  // namespace

ProgrammerFirmware::ProgrammerFirmware(const ChipRecord& chip) : chip_(chip) {}

void ProgrammerFirmware::InjectFault(const EmulatorFault& fault) {
    faults_[fault.kind] = fault.value;
}

void ProgrammerFirmware::ClearFaults() {
    faults_.clear();
    endlessStray_.reset();
}

void ProgrammerFirmware::Restart() {
    messages_.clear();
    endlessStray_.reset();
    inPhase_.reset();
    zeroPacketDue_ = false;
    outPhase_.reset();
    eraseEnd_ = {};
}

std::optional<uint64_t> ProgrammerFirmware::FaultValue(FaultKind kind) const {
    auto it = faults_.find(kind);
    if (it == faults_.end()) return std::nullopt;
    return it->second;
}

// The first point inside a data phase of `total` bytes where a fault stops it.
std::optional<ProgrammerFirmware::FaultPoint> ProgrammerFirmware::StopPoint(uint32_t total) const {
    std::optional<FaultPoint> first;
    for (FaultKind kind : {FaultKind::UnplugAfter, FaultKind::ReplugAfter, FaultKind::Stall}) {
        const std::optional<uint64_t> at = FaultValue(kind);
        if (at && *at < total && (!first || *at < first->at)) first = FaultPoint{*at, kind};
    }
    return first;
}

ProgrammerFirmware::Stop ProgrammerFirmware::HitFault(FaultKind kind) {
    faults_.erase(kind);
    return kind == FaultKind::UnplugAfter ? Stop::Unplug : Stop::Replug;
}

bool ProgrammerFirmware::CanTake() const {
    if (outPhase_) {
        if (outPhase_->cutOff && afterAbandon_ == AfterAbandon::DiscardOnRequest) return true;
        const std::optional<FaultPoint> stop = StopPoint(outPhase_->total);
        return !stop || stop->kind != FaultKind::Stall || outPhase_->done < stop->at;
    }
    return afterAbandon_ == AfterAbandon::DiscardOnRequest || (!inPhase_ && !zeroPacketDue_);
}

ProgrammerFirmware::Taken ProgrammerFirmware::Take(std::span<const uint8_t> bytes) {
    if (outPhase_ && outPhase_->cutOff && afterAbandon_ == AfterAbandon::DiscardOnRequest) outPhase_.reset();
    if (outPhase_) return TakeData(bytes);
    HandleRequest(bytes.first(std::min<size_t>(bytes.size(), kPacket)));
    return {static_cast<uint32_t>(bytes.size()), Stop::None};
}

void ProgrammerFirmware::WriteCutOff() {
    if (outPhase_) outPhase_->cutOff = true;
}

// Data goes to the data phase up to its end or up to a fault point; what the
// transfer holds beyond the end of the data is dropped.
ProgrammerFirmware::Taken ProgrammerFirmware::TakeData(std::span<const uint8_t> bytes) {
    OutPhase& phase = *outPhase_;
    const std::optional<FaultPoint> stop = StopPoint(phase.total);
    const uint64_t limit = stop ? std::max<uint64_t>(phase.done, stop->at) : phase.total;
    const auto count = static_cast<uint32_t>(std::min<uint64_t>(bytes.size(), limit - phase.done));
    phase.sink(phase.done, bytes.first(count));
    phase.done += count;
    if (phase.done == phase.total) {
        outPhase_.reset();
        return {static_cast<uint32_t>(bytes.size()), Stop::None};
    }
    Taken taken{count, Stop::None};
    if (count < bytes.size() && stop->kind != FaultKind::Stall) taken.stop = HitFault(stop->kind);
    return taken;
}

bool ProgrammerFirmware::CanGive() const {
    if (zeroPacketDue_ || !messages_.empty() || endlessStray_) return true;
    if (!inPhase_) return false;
    if (ReadyData(*inPhase_) > 0) return true;
    const std::optional<FaultPoint> stop = StopPoint(inPhase_->total);
    return stop && stop->kind != FaultKind::Stall;
}

ProgrammerFirmware::Given ProgrammerFirmware::Give(std::span<uint8_t> room) {
    if (room.empty()) return {0, true};
    if (zeroPacketDue_) {
        zeroPacketDue_ = false;
        return {0, true};
    }
    if (messages_.empty() && endlessStray_) messages_.push_back({*endlessStray_});
    if (!messages_.empty()) return GiveMessage(room);
    if (inPhase_) return GiveData(room);
    return {};
}

// The packets of the reply at the head of the queue, up to its short last one.
ProgrammerFirmware::Given ProgrammerFirmware::GiveMessage(std::span<uint8_t> room) {
    Given given;
    for (bool last = false; !last && !given.overflow && given.bytes < room.size();) {
        Message& message = messages_.front();
        const auto packet = static_cast<uint32_t>(std::min<size_t>(kPacket, message.bytes.size() - message.sent));
        last = packet < kPacket;
        if (packet <= room.size() - given.bytes) {
            std::copy_n(message.bytes.begin() + static_cast<ptrdiff_t>(message.sent), packet,
                        room.begin() + given.bytes);
            given.bytes += packet;
        } else {
            given.overflow = true;
        }
        message.sent += packet;
        if (last) messages_.pop_front();
    }
    given.complete = !given.overflow;
    return given;
}

// Where the data phase ends: its length, or where a short-chunk fault cuts it.
uint32_t ProgrammerFirmware::PhaseEnd(const InPhase& phase) const {
    const std::optional<uint64_t> shortAt = FaultValue(FaultKind::ShortChunk);
    return shortAt && *shortAt < phase.total ? static_cast<uint32_t>(*shortAt) : phase.total;
}

// The bytes of whole packets the data phase can send now: up to its end, or up to
// the last packet boundary before a fault point.
uint32_t ProgrammerFirmware::ReadyData(const InPhase& phase) const {
    const uint32_t end = PhaseEnd(phase);
    const std::optional<FaultPoint> stop = StopPoint(phase.total);
    if (!stop || stop->at >= end) return end - phase.done;
    const uint64_t limit = std::max<uint64_t>(phase.done, stop->at);
    return static_cast<uint32_t>((limit - phase.done) / kPacket * kPacket);
}

ProgrammerFirmware::Given ProgrammerFirmware::GiveData(std::span<uint8_t> room) {
    InPhase& phase = *inPhase_;
    const uint32_t ready = ReadyData(phase);
    Given given;
    if (ready == 0) {
        // Only a fault point can hold the data back; a stall sends nothing more.
        const std::optional<FaultPoint> stop = StopPoint(phase.total);
        if (stop && stop->kind != FaultKind::Stall) given.stop = HitFault(stop->kind);
        return given;
    }
    const auto space = static_cast<uint32_t>(room.size());
    uint32_t count = std::min(ready, space) / kPacket * kPacket;
    const uint32_t tail = ready - count;
    if (tail > 0 && tail < kPacket && tail <= space - count) count = ready;
    phase.source(phase.done, room.first(count));
    phase.done += count;
    given.bytes = count;
    given.complete = count == space || count % kPacket != 0;
    if (count < ready && !given.complete) {
        // The next packet does not fit into what is left of the transfer.
        phase.done += std::min(kPacket, ready - count);
        given.overflow = true;
    }
    const uint32_t end = PhaseEnd(phase);
    if (phase.done == end) {
        zeroPacketDue_ = end < phase.total && end % kPacket == 0 && !given.overflow;
        inPhase_.reset();
    }
    return given;
}

// Each request's opcode, its length, the value its byte 1 must have (none for the
// boot request, whose byte 1 begins its text) and what the programmer does with it.
struct ProgrammerFirmware::RequestForm {
    uint8_t opcode;
    size_t length;
    std::optional<uint8_t> byte1;
    void (ProgrammerFirmware::*handle)(std::span<const uint8_t> request);
};

// The form of a request; null for an unknown opcode.
const ProgrammerFirmware::RequestForm* ProgrammerFirmware::FormOf(uint8_t opcode) {
    static const RequestForm kRequests[] = {
        {kChipRead, 15, 0x0A, &ProgrammerFirmware::OnChipRead},
        {kChipWrite, 17, 0x0C, &ProgrammerFirmware::OnChipWrite},
        {kStatus, 3, 0x00, &ProgrammerFirmware::OnStatus},
        {kErase, 3, 0x01, &ProgrammerFirmware::OnErase},
        {kChipId, 3, 0x00, &ProgrammerFirmware::OnChipId},
        {kVersion, 2, 0x00, &ProgrammerFirmware::OnVersion},
        {kSerial, 2, 0x00, &ProgrammerFirmware::OnSerial},
        {kBoot, 23, std::nullopt, &ProgrammerFirmware::OnBoot},
        {kSelfTest, 2, 0x00, &ProgrammerFirmware::OnSelfTest},
    };
    const RequestForm* form = std::ranges::find(kRequests, opcode, &RequestForm::opcode);
    return form == std::end(kRequests) ? nullptr : form;
}

void ProgrammerFirmware::HandleRequest(std::span<const uint8_t> request) {
    inPhase_.reset();
    zeroPacketDue_ = false;
    endlessStray_.reset();
    if (request.empty() || FaultValue(FaultKind::NoReply)) return;
    const RequestForm* form = FormOf(request[0]);
    if (form == nullptr || request.size() < form->length || (form->byte1 && request[1] != *form->byte1)) return;
    (this->*form->handle)(request);
}

// Queues a reply behind the stray replies the faults ask for: copies of it under
// the next opcode. False when the real reply will never reach the host, so the
// command must not go on.
bool ProgrammerFirmware::Reply(Bytes reply) {
    const uint64_t strays = FaultValue(FaultKind::StrayReplies).value_or(0);
    Bytes stray = reply;
    stray[0] = static_cast<uint8_t>(reply[0] + 1);
    if (strays == EmulatorFault::kEndless) {
        endlessStray_ = std::move(stray);
        return false;
    }
    for (uint64_t i = 0; i < strays; ++i) messages_.push_back({stray});
    messages_.push_back({std::move(reply)});
    return true;
}

bool ProgrammerFirmware::InsideChip(uint32_t address, uint32_t count) const {
    return uint64_t{address} + count <= chip_.Contents().size();
}

void ProgrammerFirmware::OnChipRead(std::span<const uint8_t> request) {
    const RequestedAccess requested = RequestedBy(request, 11);
    const uint32_t count = BigEndian32(request, 7);
    if (Rejecting() || !InsideChip(requested.address, count)) {
        Reply({kChipRead, 0x01, 0x01});
        return;
    }
    if (!Reply({kChipRead, 0x01, 0x00}) || count == 0) return;
    const ChipAccess access(chip_, requested);
    const uint64_t address = requested.address;
    const std::optional<uint64_t> flipped = FlippedBy(address, count);
    inPhase_ = InPhase{count, 0, [access, address, flipped](uint32_t offset, std::span<uint8_t> out) {
                           access.Read(address + offset, out);
                           const uint64_t at = address + offset;
                           if (flipped && *flipped >= at && *flipped - at < out.size()) out[*flipped - at] ^= 0xFF;
                       }};
}

// The address a loose contact flips in a read of [address, address + count): on
// the first read that covers it and every other one after.
std::optional<uint64_t> ProgrammerFirmware::FlippedBy(uint64_t address, uint32_t count) {
    const std::optional<uint64_t> flipped = FaultValue(FaultKind::FlipByte);
    if (!flipped || *flipped < address || *flipped - address >= count) return std::nullopt;
    return flipReads_++ % 2 == 0 ? flipped : std::nullopt;
}

void ProgrammerFirmware::OnChipWrite(std::span<const uint8_t> request) {
    RequestedAccess requested = RequestedBy(request, 13);
    requested.pageSize = static_cast<uint16_t>(request[11] << 8 | request[12]);
    const uint32_t count = BigEndian32(request, 7);
    if (Rejecting() || !InsideChip(requested.address, count)) {
        Reply({kChipWrite, 0x01, 0x00});
        return;
    }
    if (!Reply({kChipWrite, 0x01, 0x01}) || count == 0) return;
    const uint64_t address = requested.address;
    const uint64_t protectedFrom = FaultValue(FaultKind::ProtectFrom).value_or(std::numeric_limits<uint64_t>::max());
    outPhase_ = OutPhase{count, 0, false,
                         [access = ChipAccess(chip_, requested), address,
                          protectedFrom](uint32_t offset, std::span<const uint8_t> data) mutable {
                             const uint64_t at = address + offset;
                             const uint64_t open = protectedFrom > at ? protectedFrom - at : 0;
                             access.Program(at, data.first(std::min<uint64_t>(data.size(), open)));
                         }};
}

void ProgrammerFirmware::OnStatus(std::span<const uint8_t>) {
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
    if (ProtocolCode(FamilyOf(chip_.Record())) == protocolCode) chip_.Erase();
    eraseEnd_ = Clock::now() + eraseTime_;
}

void ProgrammerFirmware::OnChipId(std::span<const uint8_t> request) {
    std::array<uint8_t, 2> id = {0xFF, 0xFF};
    if (request[2] == ProtocolCode(FamilyOf(chip_.Record()))) id = chip_.IdBytes();
    Reply({kChipId, static_cast<uint8_t>(Rejecting() ? 0 : 2), id[0], id[1], 0x00});
}

void ProgrammerFirmware::OnVersion(std::span<const uint8_t>) {
    Reply(TextReply(kVersion, kVersionReplySize, versionText_));
}

void ProgrammerFirmware::OnSerial(std::span<const uint8_t>) {
    Reply(TextReply(kSerial, kSerialReplySize, serialText_));
}

// The reply echoes the request's 17 bytes after the opcode; byte 18 says whether
// the image will be taken: the request must hold the boot word and sum to zero.
void ProgrammerFirmware::OnBoot(std::span<const uint8_t> request) {
    const auto word = request.subspan(1, sizeof kBootWord);
    const uint8_t sum = std::accumulate(request.begin(), request.begin() + 23, uint8_t{0});
    const bool accepted = std::equal(word.begin(), word.end(), kBootWord) && sum == 0 && !Rejecting();
    Bytes reply(kBootReplySize, 0);
    reply[0] = kBoot;
    std::copy_n(request.begin() + 1, sizeof kBootWord, reply.begin() + 1);
    reply[18] = accepted ? 1 : 0;
    if (!Reply(std::move(reply)) || !accepted) return;
    firmwareImage_.clear();
    const uint32_t length = BigEndian32(request, 18);
    if (length == 0) return;
    outPhase_ = OutPhase{length, 0, false, [this](uint32_t, std::span<const uint8_t> data) {
                             firmwareImage_.insert(firmwareImage_.end(), data.begin(), data.end());
                         }};
}

void ProgrammerFirmware::OnSelfTest(std::span<const uint8_t>) {
    if (!Reply({kSelfTest, 0x00})) return;
    const std::string_view text = FaultValue(FaultKind::SelfTestFail) ? kSelfTestFailed : kSelfTestPassed;
    Bytes block(kSelfTestBlockSize, 0);
    std::copy(text.begin(), text.end(), block.begin());
    inPhase_ = InPhase{kSelfTestBlockSize, 0, [block](uint32_t offset, std::span<uint8_t> out) {
                           std::copy_n(block.begin() + offset, out.size(), out.begin());
                       }};
}

}  // namespace qbr
