// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Checksums.h"
#include "cli/CliOptions.h"
#include "cli/RunReport.h"
#include "core/ProgrammerCore.h"
#include "ops/ChipDiff.h"
#include "ops/CommandTable.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <optional>
#include <span>

namespace qbr {

// The command-line tool's chip commands beyond the window's: ranges, repeated
// reads, the full diff, backups before a change and sparse writes on SPI flash,
// with the checksums of what was read. Results go to the output stream (or, with
// --json, into the report); texts to the error stream.
class ChipJobs {
public:
    ChipJobs(ProgrammerCore& core, const CliOptions& options, RunReport& report);

    // The range the options name on the selected chip; kExitUsage, after saying
    // why, when it isn't inside the chip or an option doesn't fit the chip.
    int CheckOptions(const CommandRow& row);
    // The range of --offset and --length on the selected chip; kExitUsage, after
    // saying why, when it isn't inside the chip.
    int CheckRange();
    ChipRange Range() const { return range_; }
    bool IsPartial() const { return range_ != WholeChip(core_.SelectedChip()); }

    // With --backup or --backup-dir: the chip read twice into the backup file;
    // kExitOk to go on, anything else to stop with the chip untouched.
    int Backup();
    // Read of the range, once or --reads times, into the file argument.
    int Read();
    // The whole range read and compared with the image, every difference reported.
    int Verify();
    // Write of the range, or of its pages with data (--skip-blank), then, unless
    // --no-verify, its read-back; a difference fails with its likely cause.
    int Write();
    // Prints the CRC-32 and SHA-256 of the data the command read or compared and
    // puts them in the report.
    void ReportSums(std::span<const uint8_t> data);
    // Those sums, once reported.
    const std::optional<DataSums>& Sums() const { return sums_; }
    // A failed verify's difference count, from a second read from the mismatch on.
    void ReportDifferingBytes(const Mismatch& mismatch);
    // chip-sum: the image file as the window would load it for the selected chip.
    int ChipSum();

private:
    int SaveRead(std::span<const uint8_t> data);
    int Judge(const ImageDiff& diff);
    void ReportRanges(const ImageDiff& diff);
    void WarnIfUniform(std::span<const uint8_t> data);
    std::ostream& ResultStream();
    nlohmann::json PrintSums(const DataSums& sums);

    ProgrammerCore& core_;
    const CliOptions& options_;
    RunReport& report_;
    ChipRange range_;
    std::optional<DataSums> sums_;
};

}  // namespace qbr
