// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/CommandResult.h"
#include "core/ProgrammerCore.h"
#include "ops/RepeatedRead.h"

namespace qbr {

// The chip commands of the Programmer menu. Each works on the whole selected chip,
// range 0 .. capacity - 1 from offset 0 of the buffer, with the chip as it was
// selected when the command began.

// Reads the chip into the buffer and clears the change marks of what was read.
CommandResult OnReadChip(ProgrammerCore& core);
// Reads the chip twice, holding the programmer across both reads, and fills the
// buffer as OnReadChip does only when they agree; otherwise buffer and marks stay
// as they were, and the result's diff says where the reads differed.
RepeatedRead ReadChipTwiceIntoBuffer(ProgrammerCore& core);
// Erases an SPI flash; any other family is left alone (NotForThisChip, no message).
CommandResult OnEraseChip(ProgrammerCore& core);
// Writes the buffer into the chip as it is.
CommandResult OnWriteChip(ProgrammerCore& core);
// Reads the chip and compares it with the buffer while the read runs; the first
// difference ends the read, and its report with its address and both bytes is the
// result's words.
CommandResult OnVerifyChip(ProgrammerCore& core);
// What Auto writes after the erase of an SPI flash: the whole chip, as the window
// does, or only the pages that hold data (the erase has made the rest blank).
enum class AutoWrite { WholeChip, SkipBlank };

// Erase (SPI flash only), Write and Verify in one go, stopping at the first step
// that fails and returning its result; the end of each step that went well is
// shown as Auto goes on, and success says the time of the whole sequence. Verify
// always checks the whole chip.
CommandResult RunAuto(ProgrammerCore& core, AutoWrite write);
// The window's Auto: the whole chip is written.
CommandResult OnAuto(ProgrammerCore& core);
// Auto's sequence as a step of a longer command that holds the programmer already.
CommandResult RunAutoAsStep(ProgrammerCore& core, AutoWrite write);

}  // namespace qbr
