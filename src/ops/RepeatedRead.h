// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/ChipDiff.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace qbr {

// Several reads of the same range, compared: a chip whose reads differ sits on a
// contact that can't be trusted, and no read of it is a copy. Its outcome and
// words are those of the last read.
struct RepeatedRead : CommandResult {
    std::vector<uint8_t> data;  // the first read
    // Every address where any later read differed from the first.
    ImageDiff diff;

    bool Agreed() const { return outcome == Outcome::Ok && diff.Same(); }
};

// Reads `range` `times` times (at least once); ends at the first read that fails.
// The end of each read but the last is shown as the next begins. Each read holds
// the programmer as `caller`: a command that holds it around them passes AutoStep.
RepeatedRead ReadChipRepeatedly(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, unsigned times,
                                Caller caller = Caller::User);

// Whether every byte of `data` is `value`.
bool AllBytesAre(std::span<const uint8_t> data, uint8_t value);

// A copy of the whole chip kept before a command that changes it: read twice,
// compared, and written to its file only when both reads agree.
struct ChipBackup {
    Outcome outcome = Outcome::Failed;  // FileError when the file can't be written or the name is taken
    bool fileExists = false;            // the name given was taken: the file there is never replaced
    std::string path;                   // where the copy was saved; empty when it wasn't
    RepeatedRead reads;
};

// What a backup's name is when it is taken.
enum class BackupName {
    // The name the user gave. Taken before the reads: nothing is read. Taken by
    // another run during them: the backup fails, and its copy is kept under the
    // first free numbered name (see NumberedName) for the user to look at.
    AsGiven,
    // A name the program made: the first free one of the name and its numbered ones.
    FirstFree,
};

// Backs the chip up into `path`, whose directory must exist (checked before the
// reads). An existing file is never replaced, not even one another run made while
// this one read: it may be the only copy of what a chip held before. The copy is
// complete on disk before it gets its name, so no partial backup is ever seen
// (see CreateNewFile).
ChipBackup BackupChip(ProgrammerCore& core, const ChipRecord& chip, const std::string& path, BackupName naming,
                      Caller caller = Caller::User);

// Where the user keeps backups: the file named (`file`), or a directory where
// each backup gets a name of its own.
struct BackupPlace {
    std::string file;
    std::string directory;
    std::string programmer;  // in a batch run, the programmer's id: its runs back up in the same second
};

struct BackupTarget {
    std::string path;  // empty: the directory could not be made
    BackupName naming = BackupName::AsGiven;
    bool directoryMade = false;  // it was missing and is made now, before the chip is read
};

// The file named is taken as given. In a directory (made when missing) the file is
// "<chip>-<YYYYmmdd-HHMMSS>[-<programmer>].bin" in local time, characters of the
// chip's name that don't belong in a file name made '_', or the first free
// numbered name.
BackupTarget ChooseBackupTarget(const BackupPlace& place, const ChipRecord& chip, std::time_t when);

}  // namespace qbr
