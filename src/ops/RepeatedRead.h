// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/ChipDiff.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace qbr {

// Several reads of the same range, compared: a chip whose reads differ sits on a
// contact that can't be trusted, and no read of it is a copy.
struct RepeatedRead {
    Outcome outcome = Outcome::Failed;
    std::vector<uint8_t> data;  // the first read
    // Every address where any later read differed from the first.
    ImageDiff diff;

    bool Agreed() const { return outcome == Outcome::Ok && diff.Same(); }
};

// Reads `range` `times` times (at least once); ends at the first read that fails.
RepeatedRead ReadChipRepeatedly(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, unsigned times);

// Whether every byte of `data` is `value`.
bool AllBytesAre(std::span<const uint8_t> data, uint8_t value);

// A copy of the whole chip kept before a command that changes it: read twice,
// compared, and written to its file only when both reads agree.
struct ChipBackup {
    Outcome outcome = Outcome::Failed;  // FileError when the file exists or can't be written
    bool fileExists = false;            // an earlier backup there is never replaced
    RepeatedRead reads;
};

// Backs the chip up into `path` (written under a temporary name and renamed when
// complete, so no partial backup is left behind). A file that exists already is
// kept and nothing is read: it may be the only copy of what the chip held before.
ChipBackup BackupChip(ProgrammerCore& core, const ChipRecord& chip, const std::string& path);

// "<chip>-<YYYYmmdd-HHMMSS>.bin" in local time; characters of the chip's name that
// don't belong in a file name become '_'.
std::string BackupFileName(const ChipRecord& chip, std::time_t when);

}  // namespace qbr
