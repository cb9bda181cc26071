// SPDX-License-Identifier: GPL-3.0-or-later
#include "ops/AttachedProgrammers.h"

#include "link/ProgrammerSurvey.h"

namespace qbr {

std::vector<ProgrammerSlot> AttachedProgrammers(const LinkRequest& request) {
    std::vector<ProgrammerSlot> slots;
    if (request.emulatedChip) {
        for (unsigned index = 1; index <= request.emulateCount; ++index) slots.push_back(EmulatedSlot(index));
        return slots;
    }
    for (const SurveyedProgrammer& found : SurveyProgrammers()) {
        slots.push_back({found.busPort, found.serial, found.nodeAccess, 0});
    }
    return slots;
}

}  // namespace qbr
