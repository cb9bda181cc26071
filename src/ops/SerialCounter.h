// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qbr {

// The counter file of a production run: the next serial number in decimal, and
// while a chip is being programmed the number it took ("taken N" on a second
// line). Every change replaces the whole file atomically and is on disk before it
// returns, so a number is saved as taken before its chip is programmed: a crash
// can skip a number but never hand it out twice. One process at a time holds a
// counter: an exclusive lock on FILE.lock (never replaced, so the lock stays valid
// across the file's replacements) is taken at Open and held until destruction.
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

    // A number an earlier run took but never finished (it crashed meanwhile); it is
    // skipped for good.
    std::optional<uint64_t> Unfinished() const { return unfinished_; }
    // Takes the next number; none when the file can't be written, and then the
    // number is still free and nothing may be programmed with it.
    std::optional<uint64_t> Take();
    // The chip of the number taken last is done, whatever its result.
    bool Finish();

private:
    SerialCounter(std::string path, int lockFd) : path_(std::move(path)), lockFd_(lockFd) {}
    bool Store(std::optional<uint64_t> taken);

    std::string path_;
    int lockFd_;
    uint64_t next_ = 0;
    std::optional<uint64_t> unfinished_;
};

}  // namespace qbr
