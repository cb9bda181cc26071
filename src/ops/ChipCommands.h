// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgrammerCore.h"

namespace qbr {

// The chip commands of the Programmer menu. Each works on the whole selected chip,
// range 0 .. capacity - 1 from offset 0 of the buffer, with the chip as it was
// selected when the command began. Erase, Write and Verify leave their outcome in
// the core's lastStepOk.

// Reads the chip into the buffer and clears the change marks of what was read.
void OnReadChip(ProgrammerCore& core);
// Erases an SPI flash; any other family is left alone (lastStepOk false, no message).
void OnEraseChip(ProgrammerCore& core);
// Writes the buffer into the chip as it is.
void OnWriteChip(ProgrammerCore& core);
// Reads the chip and compares it with the buffer while the read runs; the first
// difference ends the read and is reported with its address and both bytes.
void OnVerifyChip(ProgrammerCore& core);
// Erase (SPI flash only), Write and Verify in one go, stopping at the first step
// that fails; success shows the time of the whole sequence.
void OnAuto(ProgrammerCore& core);

}  // namespace qbr
