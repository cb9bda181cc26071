// SPDX-License-Identifier: GPL-3.0-or-later
#include "chipdb/ChipSelectors.h"

#include "chipdb/ChipType.h"

#include <algorithm>
#include <cctype>

namespace qbr {
namespace {

bool LessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

int IndexOf(const std::vector<std::string>& entries, const std::string& text) {
    if (entries.empty()) return -1;
    auto it = std::find(entries.begin(), entries.end(), text);
    return it == entries.end() ? 0 : static_cast<int>(it - entries.begin());
}

}  // namespace

std::vector<std::string> SortedNoCase(std::vector<std::string> entries) {
    std::stable_sort(entries.begin(), entries.end(), LessNoCase);
    return entries;
}

SelectorLists SelectorsFor(const ChipDatabase& database, const ChipRecord& chip) {
    SelectorLists lists;
    lists.types = SortedNoCase(
        {ChipTypeName(kSpiFlash), ChipTypeName(kEeprom24), ChipTypeName(kEeprom25), ChipTypeName(kEeprom93)});
    lists.typeIndex = IndexOf(lists.types, ChipTypeName(chip.chipType));
    lists.makers = SortedNoCase(database.ListMakers(chip.chipType));
    lists.makerIndex = IndexOf(lists.makers, chip.makerName);
    for (const ChipRecord& record : database.ListByMaker(chip.makerName, chip.chipType)) {
        lists.chips.push_back(record.chipName);
    }
    lists.chips = SortedNoCase(std::move(lists.chips));
    lists.chipIndex = IndexOf(lists.chips, chip.chipName);
    return lists;
}

}  // namespace qbr
