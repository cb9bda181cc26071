// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "core/ProgrammerCore.h"
#include "ops/ChipTransfers.h"
#include "ops/CommandTable.h"
#include "ops/SerialCounter.h"
#include "ops/SerialNumber.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <iosfwd>
#include <memory>
#include <mutex>

namespace qbr {

// The counter file of the production runs in one process: opened by the first run
// that needs it, so that the programmers of a batch take their numbers from it.
class SharedCounter {
public:
    struct Opened {
        SerialCounter* counter = nullptr;  // null when it couldn't be opened
        SerialCounter::Problem problem = SerialCounter::Problem::None;
        bool first = false;  // the first run to ask, which reports the unfinished numbers
        // The counter's next number when it exists already and --serial-start names
        // another; the counter is then not used.
        std::optional<uint64_t> fileNext;
    };
    Opened Open(const std::string& path, std::optional<uint64_t> start);

private:
    std::mutex mutex_;
    bool tried_ = false;
    SerialCounter::Problem problem_ = SerialCounter::Problem::None;
    std::optional<uint64_t> fileNext_;
    std::unique_ptr<SerialCounter> counter_;
};

// A chip command as a step of a production run: with --serialize the chip's serial
// number is taken from the counter file and put into the image before the chip is
// programmed, and with --log the command's end goes into the production log.
class ProductionRun {
public:
    ProductionRun(ProgrammerCore& core, const CliOptions& options, SharedCounter& counter, std::ostream& err,
                  nlohmann::json& report);

    // Whether the options fit the command and the chip; kExitUsage, after saying
    // why, when they don't.
    int Check(const CommandRow& row, ChipRange range);
    // Opens the counter file (logging a number an earlier run left unfinished), so
    // that a counter another process holds stops the command before the chip is read.
    int Open(const std::string& programmer);
    // Takes the chip's number and places it in the buffer; nothing is programmed
    // when the number could not be saved as taken.
    int Stamp();
    // Logs the command's end and finishes its number; the code to exit with.
    int End(int code);

private:
    bool Log(const std::string& result, std::optional<uint64_t> serial);

    ProgrammerCore& core_;
    const CliOptions& options_;
    std::ostream& err_;
    nlohmann::json& report_;
    const CommandRow* row_ = nullptr;
    ChipRange range_;
    std::string programmer_;
    std::optional<SerialFormat> format_;
    SharedCounter& shared_;
    SerialCounter* counter_ = nullptr;
    std::optional<uint64_t> serial_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace qbr
