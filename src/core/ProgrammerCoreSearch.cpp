// SPDX-License-Identifier: GPL-3.0-or-later
// The chip search command of ProgrammerCore: a chip picked by name in the search
// dialog becomes the selected chip.
#include "base/MessageTable.h"
#include "core/ProgrammerCore.h"

namespace qbr {

void ProgrammerCore::OnSearchChip() {
    LogText(MessageText(kMsgSearchChipStart));
    // The selected chip must not change under a running command.
    if (RefuseWhileBusy()) return;
    const auto name = host_.AskChipSearch();
    if (!name) {
        LogText(MessageText(kMsgSearchChipCancel));
        return;
    }
    // An empty name (the dialog closed with Enter) finds nothing and changes nothing.
    auto chip = database.FindByName(*name);
    if (!chip) return;
    selectedChip = *chip;
    ShowSelectedChip();
}

}  // namespace qbr
