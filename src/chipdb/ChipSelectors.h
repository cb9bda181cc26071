// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipDatabase.h"

#include <string>
#include <vector>

namespace qbr {

// Entries of the three chip selectors, in the order they are shown, and the
// entry selected in each (-1 when a list is empty).
struct SelectorLists {
    std::vector<std::string> types;
    std::vector<std::string> makers;
    std::vector<std::string> chips;
    int typeIndex = -1;
    int makerIndex = -1;
    int chipIndex = -1;
};

// The entries the three chip selectors show for a chip, as the lists show them:
// sorted without regard to case, each list selecting the entry that matches the
// chip (entry 0 when none does).
SelectorLists SelectorsFor(const ChipDatabase& database, const ChipRecord& chip);

// Sorted without regard to case (stable for entries that differ only in case).
std::vector<std::string> SortedNoCase(std::vector<std::string> entries);

}  // namespace qbr
