// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/CommandResult.h"
#include "core/ProgrammerCore.h"

namespace qbr {

// Detect Chip: asks the chip in the socket for its two identification bytes (the
// request carries the family of the chip selected now) and selects the first
// database chip with both bytes. Without a match the selection stays as it is and
// the result's words show the bytes (Failed).
CommandResult OnDetectChip(ProgrammerCore& core);

}  // namespace qbr
