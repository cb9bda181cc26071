// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/SerialCounter.h"

#include "base/AtomicFile.h"

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace qbr {

namespace {

// "N\n", then a "taken M\n" line per number in work; false for anything else.
bool ParseCounter(std::istream& in, uint64_t& next, std::vector<uint64_t>& taken) {
    std::string word;
    if (!(in >> next)) return false;
    while (in >> word) {
        uint64_t number = 0;
        if (word != "taken" || !(in >> number)) return false;
        taken.push_back(number);
    }
    return in.eof();
}

}  // namespace

std::unique_ptr<SerialCounter> SerialCounter::Open(const std::string& path, std::optional<uint64_t> start,
                                                   Problem& problem) {
    // The lock belongs to the file a link points to, whatever name reaches it.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
    const std::string lockPath = (error ? std::filesystem::path(path) : target).string() + ".lock";
    const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0) {
        problem = Problem::Unwritable;
        return nullptr;
    }
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd);
        problem = Problem::InUse;
        return nullptr;
    }
    std::unique_ptr<SerialCounter> counter(new SerialCounter(path, lockFd));
    std::ifstream in(path);
    problem = Problem::None;
    // Only a file that isn't there is begun anew; one that can't be read stops the run.
    if (!in && std::filesystem::exists(path, error)) {
        problem = Problem::Unwritable;
    } else if (!in) {
        counter->next_ = start.value_or(0);
        if (!start)
            problem = Problem::Missing;
        else if (!counter->Store())
            problem = Problem::Unwritable;
    } else if (!ParseCounter(in, counter->next_, counter->unfinished_)) {
        problem = Problem::Malformed;
    } else if (!counter->unfinished_.empty() && !counter->Store()) {
        problem = Problem::Unwritable;
    }
    if (problem != Problem::None) return nullptr;
    return counter;
}

SerialCounter::~SerialCounter() {
    ::close(lockFd_);  // releases the lock
}

std::optional<uint64_t> SerialCounter::Take() {
    const std::lock_guard lock(mutex_);
    if (next_ == UINT64_MAX) return std::nullopt;
    const uint64_t number = next_;
    ++next_;
    taken_.push_back(number);
    if (Store()) return number;
    --next_;
    taken_.pop_back();
    return std::nullopt;
}

uint64_t SerialCounter::Next() {
    const std::lock_guard lock(mutex_);
    return next_;
}

bool SerialCounter::Finish(uint64_t number) {
    const std::lock_guard lock(mutex_);
    std::erase(taken_, number);
    return Store();
}

bool SerialCounter::Store() {
    std::ostringstream text;
    text << next_ << '\n';
    for (const uint64_t number : taken_) text << "taken " << number << '\n';
    return AtomicFile::Replace(path_, text.str());
}

}  // namespace qbr
