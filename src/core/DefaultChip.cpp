// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/DefaultChip.h"

#include "base/MessageTable.h"

namespace qbr {

ChipRecord DefaultChip(const ChipDatabase& database) {
    if (auto chip = database.FindByName(MessageText(kMsgDefaultChipName))) return *chip;
    if (auto chip = database.FindByName(kFallbackChipName)) return *chip;
    return database.Records().empty() ? ChipRecord{} : database.Records().front();
}

}  // namespace qbr
