// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Checksums.h"
#include "cli/CliOptions.h"
#include "cli/RunReport.h"
#include "core/ProgrammerCore.h"
#include "ops/ChipTransfers.h"
#include "ops/CommandTable.h"
#include "ops/SerialNumber.h"
#include "store/ProductionStore.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qbr {

// The production store of the runs in one process: opened by the first run that
// needs it, so that the programmers of a batch share one connection. That run also
// marks the rows that runs gone meanwhile left in work as interrupted.
class SharedStore {
public:
    struct Opened {
        ProductionStore* store = nullptr;  // null when it couldn't be opened
        StoreError error;
        bool first = false;                // the first run to ask, which reports the interrupted rows
        std::vector<ChipRow> interrupted;  // for the first run only
    };
    Opened Open(const std::string& name);

private:
    std::mutex mutex_;
    bool tried_ = false;
    StoreError error_;
    std::unique_ptr<ProductionStore> store_;
};

// A chip command as a step of a production run: with --production the chip and
// the command get their row in the store, and with a counter (--serialize or
// --counter) the chip's serial number is taken from the store in the same
// transaction and put into the image before the chip is programmed.
class ProductionRun {
public:
    ProductionRun(ProgrammerCore& core, const CliOptions& options, SharedStore& store, RunReport& report);

    // Whether the options fit the command (none: a command outside the table,
    // which numbers no chip) and the chip; kExitUsage, after saying why, when they don't.
    int Check(const CommandRow* row, ChipRange range);
    // Opens the store and checks the counter, so that a store that can't be used or
    // a counter that can't give a number stops the command before the chip is read.
    int Open(const std::string& programmer);
    // Records the chip as in work and places the number it took; nothing is
    // programmed when the store could not record it.
    int Begin();
    // Records the command's end with the sums of the data it read or compared, or
    // else of the image it wrote; the code to exit with.
    int End(int code, const std::optional<DataSums>& sums = std::nullopt);

private:
    int CheckCounter();
    bool FitsRange(const SerialFormat& format) const;
    bool NumberFits(uint64_t number);
    void ReportInterrupted(const std::vector<ChipRow>& rows);
    int Unrecorded(int code, const StoreError& error);

    ProgrammerCore& core_;
    const CliOptions& options_;
    SharedStore& shared_;
    RunReport& report_;
    const CommandRow* row_ = nullptr;
    ChipRange range_;
    std::string programmer_;
    ProductionStore* store_ = nullptr;
    std::optional<std::string> counter_;  // the counter numbers come from; none: the chip gets none
    std::optional<SerialFormat> format_;
    std::string formatText_;  // format_ as the counter or --serialize gives it
    std::optional<int64_t> rowId_;
    std::optional<uint64_t> serial_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace qbr
