// SPDX-License-Identifier: GPL-3.0-or-later
// The chip search command of ProgrammerCore: a chip picked by name in the search
// dialog becomes the selected chip.
#include "base/MessageTable.h"
#include "core/ProgrammerCore.h"

namespace qbr {

Outcome ProgrammerCore::OnSearchChip() {
    LogText(MessageText(kMsgSearchChipStart));
    // The selected chip must not change under a running command.
    if (RefuseWhileBusy()) return Outcome::Busy;
    const auto name = host_.AskChipSearch();
    if (!name) {
        LogText(MessageText(kMsgSearchChipCancel));
        return Outcome::Cancelled;
    }
    // An empty name finds nothing and changes nothing.
    auto chip = database_.FindByName(*name);
    if (!chip) return Outcome::Failed;
    SelectChip(*chip);
    return Outcome::Ok;
}

}  // namespace qbr
