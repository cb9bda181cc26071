// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/CommandResult.h"
#include "core/ProgrammerCore.h"
#include "ops/RepeatedRead.h"

#include <ctime>
#include <string>

namespace qbr {

// The commands that change the chip and may be guarded by a backup.
enum class ChipChange { Erase, Write, Auto };

// A change of the chip made only once a copy of what it held is saved.
struct GuardedChange {
    ChipBackup backup;
    // The change's result; when the backup failed, the refusal that says why, and
    // the chip was not changed.
    CommandResult result;
};

// Backs the selected chip up into a new file in `directory` (made when missing),
// named as ChooseBackupTarget names it at `when`, and makes the change only once the
// copy is saved. The programmer is held across both, so a command chosen meanwhile
// is refused as busy. The end of the backup's reads and the saved file are shown
// and logged before the change begins.
GuardedChange BackUpThenChange(ProgrammerCore& core, const std::string& directory, ChipChange change, std::time_t when);

}  // namespace qbr
