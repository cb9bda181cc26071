// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipRecord.h"

namespace qbr {

inline constexpr const char* kFallbackChipName = "EN25T80";

// The chip selected at start: the configured default chip, else the fallback
// chip, else the first record (an empty record for an empty database).
ChipRecord DefaultChip(const ChipDatabase& database);

}  // namespace qbr
