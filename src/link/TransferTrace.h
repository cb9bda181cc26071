// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qbr {

// What a trace says about the run that made it: its first line.
struct TraceHeader {
    std::string program;                 // "qbr5150-cli" or "qbr5150"
    std::vector<std::string> arguments;  // the command line, program name left out
    std::string chip;                    // the chip worked on at the start
    std::string accessPath;              // "library", "direct", "emulated" or "replay"
};

// How a pipe call ended, as far as the link can tell.
enum class TraceStatus { Ok, Failed, Timeout, Cancelled };

const char* TraceStatusName(TraceStatus status);
// A byte as a trace writes an endpoint: "0x" and two lower-case hex digits.
std::string HexByte(uint8_t value);

// Records every USB transfer of a run as JSON lines: the header, then one line per
// pipe call with its time in ms since the trace began, direction, endpoint,
// requested length, bytes moved, status and data. Data of at most
// kWholeDataLimit bytes is kept whole; longer data keeps its first and last
// kEdgeBytes bytes and the CRC-32 of all of it, so a trace of a chip read holds
// no more of the chip than that. Safe to call from the link's worker threads at
// once: each line is written whole and flushed.
class TransferTrace {
public:
    static constexpr const char* kFormatName = "qbr5150-usb-trace";
    static constexpr int kFormatVersion = 1;
    static constexpr uint32_t kWholeDataLimit = 128;
    static constexpr uint32_t kEdgeBytes = 64;

    // Null with `error` set when the file can't be written: a regular file is made
    // or emptied, a FIFO or a character device written into (one nobody reads
    // from is refused, not waited on), any other kind refused.
    static std::unique_ptr<TransferTrace> Create(const std::string& path, std::string& error);
    ~TransferTrace();
    TransferTrace(const TransferTrace&) = delete;
    TransferTrace& operator=(const TransferTrace&) = delete;

    void WriteHeader(const TraceHeader& header);
    // One pipe call: `data` holds the bytes the host sent (OUT, `requested` of them)
    // or received (IN, `moved` of them).
    void Record(bool in, uint8_t endpoint, uint32_t requested, uint32_t moved, TraceStatus status, const uint8_t* data);
    // Whether a line could not be written (a full disk): the trace is incomplete.
    bool Failed() const { return failed_.load(std::memory_order_relaxed); }

private:
    explicit TransferTrace(std::FILE* file) : file_(file) {}
    void WriteLine(const nlohmann::ordered_json& json);

    std::FILE* const file_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::atomic<bool> failed_{false};
};

}  // namespace qbr
