// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "emulator/EmulatedProgrammer.h"
#include "link/LibraryPath.h"
#include "link/ProgrammerProtocol.h"
#include "link/UsbLink.h"

#include <chrono>
#include <memory>
#include <thread>

namespace qbr {

// One emulated programmer with its link and command layer, as the program holds
// them, set up for `chip`.
struct EmulatedLink {
    explicit EmulatedLink(const ChipRecord& chip) : programmer(chip), link(std::make_unique<LibraryPath>(programmer)) {
        protocol.AttachLink(link);
        link.Open();
        protocol.SetChipParameters(chip);
    }

    // Polls like the chip operations: PollOperation, then a 5 ms sleep while it runs.
    bool RunToEnd() {
        PollResult result = protocol.PollOperation();
        while (result != PollResult::Done && result != PollResult::Failed) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            result = protocol.PollOperation();
        }
        return result == PollResult::Done;
    }

    EmulatedProgrammer programmer;
    UsbLink link;
    ProgrammerProtocol protocol;
};

}  // namespace qbr
