#pragma once

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

// The programmer's side of the request and reply protocol, without any notion of
// threads or time-outs: the OUT pipe delivers requests and outgoing data to Take,
// the IN pipe collects replies and incoming data from Give.
//
// A write while no data phase runs is one request (byte 0 the opcode). Its reply
// is one packet for the IN pipe; a read, write or self test then runs a data
// phase: the chip's bytes or the self-test block stream out through Give, or the
// next bytes taken are chip data or a firmware image. A new request abandons a
// data phase towards the host that has not been read to its end. Requests that
// are too short or have an unknown opcode get no reply.
class ProgrammerFirmware {
public:
    // What a transfer ran into at a fault point in its data phase.
    enum class Stop { None, Stall, Unplug, Replug };
    struct Moved {
        uint32_t bytes = 0;
        Stop stop = Stop::None;
    };

    explicit ProgrammerFirmware(const ChipRecord& chip);

    VirtualChip& Chip() { return chip_; }
    void InsertChip(const ChipRecord& chip);
    void SetEraseTime(std::chrono::milliseconds time) { eraseTime_ = time; }
    void SetVersionText(std::string text) { versionText_ = std::move(text); }
    void SetSerialText(std::string text) { serialText_ = std::move(text); }
    // The image of the last accepted firmware update, as far as it has arrived.
    const std::vector<uint8_t>& FirmwareImage() const { return firmwareImage_; }

    // The faults that concern the protocol: everything but Unplugged and WriteFail.
    void InjectFault(const EmulatorFault& fault);
    void ClearFaults();
    // Back to the state after power-up: nothing queued, no data phase, no erase running.
    void Restart();

    // OUT pipe: takes a request or data phase bytes.
    Moved Take(std::span<const uint8_t> bytes);
    // How many bytes Take would move now out of `count`.
    uint32_t TakeSize(uint32_t count) const;

    // IN pipe: something to give (possibly a final zero-length transfer).
    bool CanGive() const;
    // How many bytes Give would move now into a buffer of `count`.
    uint32_t GiveSize(uint32_t count) const;
    // At most one reply packet, or data phase bytes.
    Moved Give(std::span<uint8_t> buffer);

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
        std::function<void(uint32_t offset, std::span<const uint8_t> data)> sink;
    };
    struct FaultPoint {
        uint64_t at = 0;
        FaultKind kind = FaultKind::Stall;
    };

    std::optional<uint64_t> FaultValue(FaultKind kind) const;
    std::optional<FaultPoint> PhaseFault(uint32_t total, bool towardsHost) const;
    Stop HitFault(FaultKind kind);
    uint64_t PhaseLimit(uint32_t total, uint32_t done, bool towardsHost) const;

    void HandleRequest(std::span<const uint8_t> request);
    bool Reply(Bytes reply);
    Moved TakeData(std::span<const uint8_t> bytes);
    Moved GiveData(std::span<uint8_t> buffer);
    Moved GivePacket(const Bytes& packet, std::span<uint8_t> buffer);

    void OnChipRead(std::span<const uint8_t> request);
    void OnChipWrite(std::span<const uint8_t> request);
    void OnStatus();
    void OnErase(std::span<const uint8_t> request);
    void OnChipId(std::span<const uint8_t> request);
    void OnVersion();
    void OnSerial();
    void OnBoot(std::span<const uint8_t> request);
    void OnSelfTest();

    void ReadChip(uint8_t protocolCode, uint64_t address, std::span<uint8_t> out) const;
    bool Rejecting() const { return FaultValue(FaultKind::Reject).has_value(); }

    VirtualChip chip_;
    std::chrono::milliseconds eraseTime_{200};
    std::string versionText_ = "QBR5150 emulated programmer 1.00";
    std::string serialText_ = "EMU0000001";
    Bytes firmwareImage_;
    std::map<FaultKind, uint64_t> faults_;

    std::deque<Bytes> packets_;
    // Stray replies still to come before the queued packets; kEndless never runs out.
    Bytes stray_;
    uint64_t straysLeft_ = 0;
    std::optional<InPhase> inPhase_;
    std::optional<OutPhase> outPhase_;
    Clock::time_point eraseEnd_{};
};

}  // namespace qbr
