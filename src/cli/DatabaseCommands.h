// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabase.h"
#include "cli/ExitCodes.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

namespace qbr {

// `chips [PATTERN]`: the records as "chips" in `report`, one aligned row per
// matching chip (name, capacity, maker, type) on `rowsOut` unless it is null, and
// the count line on `out`. kExitFailed when nothing matches.
int ListChips(const ChipDatabase& database, const std::string& pattern, std::ostream* rowsOut, std::ostream& out,
              nlohmann::json& report);

// `chip NAME`: the record as "record" in `report`, and every field of it and its
// capacity text on `out` unless it is null.
void ShowChip(const ChipRecord& chip, std::ostream* out, nlohmann::json& report);

}  // namespace qbr
