// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qbr {

// The counter file of a production run: the next serial number in decimal, and
// for each chip being programmed the number it took (a "taken N" line each). Every change replaces the whole file
// atomically and is on disk before it returns, so a number is saved as taken before its chip is programmed: a crash can
// skip a number but never hand it out twice. One process at a time holds a counter: an exclusive lock on FILE.lock
// (never replaced, so the lock stays valid across the file's replacements) is taken at Open and held until destruction.
// The programmers of a batch share one counter; its calls may come from any thread.
class SerialCounter {
public:
    enum class Problem { None, InUse, Missing, Malformed, Unwritable };

    // Opens (with `start`, creates) the counter file; null with `problem` set when it
    // is locked by another process, missing without a start, malformed or can't be
    // written.
    static std::unique_ptr<SerialCounter> Open(const std::string& path, std::optional<uint64_t> start,
                                               Problem& problem);
    ~SerialCounter();
    SerialCounter(const SerialCounter&) = delete;
    SerialCounter& operator=(const SerialCounter&) = delete;

    // The numbers an earlier run took but never finished (it crashed meanwhile);
    // they are skipped for good.
    const std::vector<uint64_t>& Unfinished() const { return unfinished_; }
    // Takes the next number; none when the file can't be written, and then the
    // number is still free and nothing may be programmed with it.
    std::optional<uint64_t> Take();
    // The number the next Take gives.
    uint64_t Next();
    // The chip of `number` is done, whatever its result.
    bool Finish(uint64_t number);

private:
    SerialCounter(std::string path, int lockFd) : path_(std::move(path)), lockFd_(lockFd) {}
    bool Store();

    std::string path_;
    int lockFd_;
    std::mutex mutex_;
    uint64_t next_ = 0;
    std::vector<uint64_t> taken_;
    std::vector<uint64_t> unfinished_;
};

}  // namespace qbr
