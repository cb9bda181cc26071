// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabase.h"
#include "cli/ExitCodes.h"

#include <ostream>
#include <string>

namespace qbr {

// The letters a-z of `text` as capitals, everything else unchanged, as the search
// dialog treats a typed pattern.
std::string UpperCaseLetters(std::string text);

// `chips [PATTERN]`: one aligned row per matching chip (name, capacity, maker, type)
// and the count line. kExitFailed when nothing matches.
int ListChips(const ChipDatabase& database, const std::string& pattern, std::ostream& out);

// `chip NAME`: every field of the record and its capacity text. The name is looked
// up as given, then with its letters in capitals. kExitUsage for an unknown name.
int ShowChip(const ChipDatabase& database, const std::string& name, std::ostream& out);

}  // namespace qbr
