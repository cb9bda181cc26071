// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

}  // namespace qbr
