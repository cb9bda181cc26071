// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/TransferTrace.h"
#include "link/UsbDeviceLibrary.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qbr {

// A programmer that plays a recorded trace back, behind the same device library
// interface that reaches real hardware. It shows one programmer (10c4:f5a0) and
// takes the host's transfers strictly in the recorded order:
// - a write must be the next recorded transfer, an OUT transfer to the same
//   endpoint with the same length and the same bytes (for long data: the first
//   and last bytes kept in the trace and the CRC-32 of all of it);
// - a read must be the next recorded transfer, an IN transfer from the same
//   endpoint of the same requested length, and gets its bytes and its status. Of
//   long IN data the trace keeps only both ends and the CRC-32: the middle is
//   played back only when it can be rebuilt with that CRC-32, from data the host
//   wrote during this replay (a verify after a write) or as a run of the byte at
//   either end (a blank chip, a zero-padded block). Otherwise the read fails: a
//   replay never makes data up.
// The programmer's endpoints are the usual pair, IN 0x81 and OUT 0x01.
// A recorded time-out waits out the call's time-out; a recorded cancellation
// waits until the host cancels (or the call times out).
//
// The first difference makes the replay fail for good: that and every later
// transfer fails, and Verdict names it.
class TraceReplay final : public UsbDeviceLibrary {
public:
    static constexpr int kNoDevice = 1;
    static constexpr int kTimedOut = 2;
    static constexpr int kCancelled = 3;
    static constexpr int kFailed = 4;

    // Null with `error` set when the file can't be read or isn't a trace.
    static std::unique_ptr<TraceReplay> Load(const std::string& path, std::string& error);

    const TraceHeader& Header() const { return header_; }
    // Empty when the host has played every recorded transfer as recorded; else
    // the first difference, or how many transfers were left unplayed.
    std::string Verdict() const;

    int CountDevices(uint32_t& count) override;
    int GetDeviceIds(uint16_t index, uint16_t& vendorId, uint16_t& productId) override;
    int OpenDevice(uint16_t index, Handle& handle) override;
    void CloseDevice(Handle handle) override;
    int Read(Handle handle, uint8_t* buffer, uint32_t count, uint32_t& received, uint32_t timeoutMs) override;
    int Write(Handle handle, const uint8_t* buffer, uint32_t count, uint32_t& written, uint32_t timeoutMs) override;
    void CancelTransfers(Handle handle) override;

private:
    struct Recorded {
        bool in = false;
        uint8_t endpoint = 0;
        uint32_t length = 0;
        uint32_t moved = 0;
        TraceStatus status = TraceStatus::Ok;
        std::vector<uint8_t> data;  // whole data, or its first bytes when `crc` is set
        std::vector<uint8_t> tail;  // the last bytes of long data
        std::optional<uint32_t> crc;
    };
    using Lock = std::unique_lock<std::mutex>;

    TraceReplay() = default;
    static Recorded ParseTransfer(const std::string& line);
    const Recorded* Take(bool in, uint8_t endpoint, uint32_t count);
    bool SameData(const Recorded& recorded, const uint8_t* data, uint32_t count);
    bool FillRead(const Recorded& recorded, uint8_t* buffer);
    std::vector<std::vector<uint8_t>> MiddleCandidates(const Recorded& recorded, uint32_t size) const;
    int Finish(Lock& lock, TraceStatus status, uint32_t timeoutMs);
    void Fail(bool in, const std::string& what);
    std::string Where() const;

    TraceHeader header_;
    std::vector<Recorded> transfers_;

    mutable std::mutex mutex_;
    std::condition_variable cancelled_;
    uint64_t cancels_ = 0;
    size_t next_ = 0;  // index of the transfer the host is to play next
    std::string failure_;
    // Long data the host wrote, by CRC-32, to rebuild the middle of long reads.
    std::map<uint32_t, std::vector<uint8_t>> written_;
    Handle nextHandle_ = 1;
};

}  // namespace qbr
