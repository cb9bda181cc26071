// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MessageId.h"
#include "chipdb/ChipRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace qbr {

// How a command ended. Callers decide on this value, never on what was shown.
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

// What the user is told when a command ends (ProgrammerCore::Show): the status
// line, red for an error (which turns the progress bar red too), the bar's
// position once the status line has changed, a log line, a message box. An empty
// text shows nothing.
struct FinalWords {
    std::string status{};
    bool error = false;
    std::optional<int> progress{};
    std::string log{};
    std::string box{};
};

// What a command returns: its outcome, its final words and the data a caller may need.
struct CommandResult {
    CommandResult(Outcome outcome = Outcome::Failed, FinalWords words = {})
        : outcome(outcome), words(std::move(words)) {}

    bool Ok() const { return outcome == Outcome::Ok; }

    Outcome outcome;
    FinalWords words;
    // The result the user is shown: firmware version, serial number, self-test verdict.
    std::string text;
    // The text of a failure the status line shows, when the command names one.
    std::optional<MessageId> message;
    // Verify (also Auto's verify step): the first difference.
    std::optional<Mismatch> mismatch;
    // Detect: the chip selected by its identification bytes.
    std::optional<ChipRecord> detected;
};

}  // namespace qbr
