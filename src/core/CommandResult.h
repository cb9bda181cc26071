// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MessageId.h"
#include "chipdb/ChipRecord.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qbr {

// How a command ended. The user has been told in every case; callers decide on
// this value, never on what was shown.
enum class Outcome {
    Ok,
    Failed,          // the chip, the programmer or the user's input said no
    NoProgrammer,    // no programmer could be opened
    Busy,            // refused: another command or a transfer is running
    FileError,       // a file can't be opened, read or written, or is malformed
    Cancelled,       // the user cancelled a dialog
    NotForThisChip,  // the command doesn't apply to the selected chip's family
};

// The first difference a verify found.
struct Mismatch {
    uint32_t address = 0;
    uint8_t bufferByte = 0;
    uint8_t chipByte = 0;
};

// What a command returns: its outcome and the data a caller may need.
struct CommandResult {
    CommandResult(Outcome outcome = Outcome::Failed) : outcome(outcome) {}

    bool Ok() const { return outcome == Outcome::Ok; }

    Outcome outcome;
    // The result the user was shown: firmware version, serial number, self-test verdict.
    std::string text;
    // The text of a failure the status line shows, when the command names one.
    std::optional<MessageId> message;
    // Verify (also Auto's verify step): the first difference.
    std::optional<Mismatch> mismatch;
    // Detect: the chip selected by its identification bytes.
    std::optional<ChipRecord> detected;
};

}  // namespace qbr
