// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/ChipAccess.h"
#include "emulator/EmulatorFault.h"
#include "emulator/VirtualChip.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qbr {

// What the programmer does with a transfer the host gave up half-way.
enum class AfterAbandon {
    // The stricter guess, and the default: a chip read or self test keeps pushing
    // its remaining data, and the programmer takes no new request (it NAKs) until
    // the host has drained it; a write whose data stopped part-way keeps taking
    // whatever the host sends next as its data, until the programmer is replugged.
    KeepPending,
    // The programmer drops what was pending: a new request ends a data phase
    // towards the host, and after a write transfer was cut off (cancelled or timed
    // out) the next thing the host sends is taken as a new request.
    DiscardOnRequest,
};

// The programmer's side of the request and reply protocol, without any notion of
// threads or time-outs: the OUT pipe delivers requests and outgoing data to Take,
// the IN pipe collects replies and incoming data from Give.
//
// Everything travels in USB full-speed packets of at most 64 bytes. A reply is
// sent as its packets, the last one short (a zero-length packet after a reply
// whose length is a multiple of 64), so it ends the host's transfer. A data phase
// (chip data, the self-test block) streams as packets counted from its start; the
// host knows its length, so no zero-length packet follows when it ends on a whole
// packet. Every request is one packet; the host sends no zero-length packet after
// data whose length is a multiple of 64 either.
//
// Requests are checked as the programmer depends on them: the length byte (byte 1)
// by opcode, else the request gets no reply; a chip read or write outside the chip
// is refused in its reply; the chip parameters as ChipAccess describes. A new
// request ends any stray replies still to come. Requests that are too short or
// have an unknown opcode get no reply.
class ProgrammerFirmware {
public:
    static constexpr uint32_t kMaxPacketSize = 64;

    // What a transfer ran into at a fault point in its data phase.
    enum class Stop { None, Unplug, Replug };
    struct Taken {
        uint32_t bytes = 0;
        Stop stop = Stop::None;
    };
    // The packets one call of Give put into the host's buffer.
    struct Given {
        uint32_t bytes = 0;
        bool complete = false;  // the buffer is full, or a short packet ended the transfer
        bool overflow = false;  // the next packet did not fit; it is lost
        Stop stop = Stop::None;
    };

    explicit ProgrammerFirmware(const ChipRecord& chip);

    VirtualChip& Chip() { return chip_; }
    void SetEraseTime(std::chrono::milliseconds time) { eraseTime_ = time; }
    void SetVersionText(std::string text) { versionText_ = std::move(text); }
    void SetSerialText(std::string text) { serialText_ = std::move(text); }
    void SetAfterAbandon(AfterAbandon behaviour) { afterAbandon_ = behaviour; }
    // The image of the last accepted firmware update, as far as it has arrived.
    const std::vector<uint8_t>& FirmwareImage() const { return firmwareImage_; }

    // The faults that concern the protocol: everything but Unplugged and WriteFail.
    void InjectFault(const EmulatorFault& fault);
    void ClearFaults();
    // Back to the state after power-up: nothing queued, no data phase, no erase running.
    void Restart();

    // OUT pipe. False while the programmer NAKs: it is pushing a data phase the
    // host has not drained, or a write's data phase has stopped at a fault.
    bool CanTake() const;
    // Takes a request or data phase bytes; moves fewer only when a fault stops it.
    Taken Take(std::span<const uint8_t> bytes);
    // A write transfer was cut off before all of its bytes were taken.
    void WriteCutOff();

    // IN pipe: a packet is ready to go (or a fault waits to be met).
    bool CanGive() const;
    // Puts the packets that are ready into `room`, in order, as whole packets.
    Given Give(std::span<uint8_t> room);

private:
    using Clock = std::chrono::steady_clock;
    using Bytes = std::vector<uint8_t>;

    struct InPhase {
        uint32_t total = 0;
        uint32_t done = 0;
        std::function<void(uint32_t offset, std::span<uint8_t> out)> source;
    };
    struct OutPhase {
        uint32_t total = 0;
        uint32_t done = 0;
        bool cutOff = false;
        std::function<void(uint32_t offset, std::span<const uint8_t> data)> sink;
    };
    struct FaultPoint {
        uint64_t at = 0;
        FaultKind kind = FaultKind::Stall;
    };
    struct RequestForm;
    static const RequestForm* FormOf(uint8_t opcode);
    struct Message {
        Bytes bytes;
        size_t sent = 0;
    };

    std::optional<uint64_t> FaultValue(FaultKind kind) const;
    std::optional<FaultPoint> StopPoint(uint32_t total) const;
    Stop HitFault(FaultKind kind);
    uint32_t PhaseEnd(const InPhase& phase) const;
    uint32_t ReadyData(const InPhase& phase) const;

    void HandleRequest(std::span<const uint8_t> request);
    bool Reply(Bytes reply);
    Taken TakeData(std::span<const uint8_t> bytes);
    Given GiveMessage(std::span<uint8_t> room);
    Given GiveData(std::span<uint8_t> room);

    void OnChipRead(std::span<const uint8_t> request);
    void OnChipWrite(std::span<const uint8_t> request);
    void OnStatus(std::span<const uint8_t> request);
    void OnErase(std::span<const uint8_t> request);
    void OnChipId(std::span<const uint8_t> request);
    void OnVersion(std::span<const uint8_t> request);
    void OnSerial(std::span<const uint8_t> request);
    void OnBoot(std::span<const uint8_t> request);
    void OnSelfTest(std::span<const uint8_t> request);

    bool InsideChip(uint32_t address, uint32_t count) const;
    std::optional<uint64_t> FlippedBy(uint64_t address, uint32_t count);
    bool Rejecting() const { return FaultValue(FaultKind::Reject).has_value(); }

    VirtualChip chip_;
    std::chrono::milliseconds eraseTime_{200};
    std::string versionText_ = "QBR5150 emulated programmer 1.00";
    std::string serialText_ = "EMU0000001";
    AfterAbandon afterAbandon_ = AfterAbandon::KeepPending;
    Bytes firmwareImage_;
    std::map<FaultKind, uint64_t> faults_;
    // Reads so far that covered the address of a loose-contact fault.
    uint64_t flipReads_ = 0;

    // Replies queued for the host (stray ones included), sent packet by packet.
    std::deque<Message> messages_;
    // Set while a stray-reply fault without end answers every request: this
    // reply goes out again and again, and the real one never comes.
    std::optional<Bytes> endlessStray_;
    std::optional<InPhase> inPhase_;
    // The data phase ended early (a short-chunk fault) and still owes the host the
    // zero-length packet that tells it so.
    bool zeroPacketDue_ = false;
    std::optional<OutPhase> outPhase_;
    Clock::time_point eraseEnd_{};
};

}  // namespace qbr
