// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "core/CommandResult.h"
#include "core/ProgrammerCore.h"
#include "ops/OperationFramework.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qbr {

// A run of chip addresses [offset, offset + length).
struct ChipRange {
    uint32_t offset = 0;
    uint32_t length = 0;

    uint32_t End() const { return offset + length; }
    bool operator==(const ChipRange&) const = default;
};

// The chip's whole range.
inline ChipRange WholeChip(const ChipRecord& chip) {
    return {0, chip.capacity};
}

// Whether `range` holds at least one byte and lies inside the chip.
inline bool RangeInside(const ChipRecord& chip, ChipRange range) {
    return range.length != 0 && uint64_t{range.offset} + range.length <= chip.capacity;
}

// The chip transfers the commands are made of. Each holds the programmer while it
// runs (refused while busy), shows its start and progress as the window's commands
// do, and returns its end or its failure with the words to show.

// Reads the chip's bytes of `range` into `destination` (range.length bytes). A read
// that ends short fails: what it left is no copy of the chip. A range outside the
// chip fails before anything is sent, as does any run of WriteChipRuns.
CommandResult ReadChipRange(ProgrammerCore& core, const ChipRecord& chip, ChipRange range, uint8_t* destination,
                            Caller caller);

// Erases an SPI flash; any other family is left alone (NotForThisChip, no message).
CommandResult EraseChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller);

// Writes the buffer's bytes of each run into the same chip addresses, one write
// request per run, in order; the progress display covers all of them.
CommandResult WriteChipRuns(ProgrammerCore& core, const ChipRecord& chip, std::span<const ChipRange> runs,
                            Caller caller);

}  // namespace qbr
