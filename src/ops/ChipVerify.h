// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "core/CommandResult.h"
#include "core/ProgrammerCore.h"
#include "ops/OperationFramework.h"

#include <cstdint>
#include <string>

namespace qbr {

// Verify Chip on `chip`, for the user or as a step of Auto.
CommandResult VerifyChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller);

// The report of the first difference: the failure text, an empty line, then the
// address in six hex digits and the buffer's and the chip's byte, each line in the
// current language's labels.
std::string MismatchReport(uint32_t address, uint8_t bufferByte, uint8_t chipByte);

}  // namespace qbr
