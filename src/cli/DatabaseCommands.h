// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabase.h"
#include "cli/ExitCodes.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

namespace qbr {

// The letters a-z of `text` as capitals, everything else unchanged, as the search
// dialog treats a typed pattern.
std::string UpperCaseLetters(std::string text);

// `chips [PATTERN]`: one aligned row per matching chip (name, capacity, maker, type)
// and the count line, and the records as "chips" in `report`. kExitFailed when
// nothing matches.
int ListChips(const ChipDatabase& database, const std::string& pattern, std::ostream& out, nlohmann::json& report);

// `chip NAME`: every field of the record and its capacity text, and the record as
// "record" in `report`.
void ShowChip(const ChipRecord& chip, std::ostream& out, nlohmann::json& report);

}  // namespace qbr
