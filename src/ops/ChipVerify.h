// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"
#include "core/CommandResult.h"
#include "core/ProgrammerCore.h"
#include "ops/OperationFramework.h"

#include <cstdint>
#include <string>

namespace qbr {

// The verify reads the chip in requests of this many bytes. Once a difference is
// found the programmer still sends the rest of the request under way, and the next
// command waits for it: a smaller request costs less after an early stop, a larger
// one fewer pauses between requests. At full USB speed 1 MiB keeps both under a
// second and 2 % of a whole verify (bench/verify_stop_bench.cpp).
constexpr uint32_t kVerifySegment = 1024 * 1024;

// Verify Chip on `chip`, for the user or as a step of Auto, reading `segment` bytes
// a request (the last one shorter when the chip is not a multiple of it).
CommandResult VerifyChip(ProgrammerCore& core, const ChipRecord& chip, Caller caller,
                         uint32_t segment = kVerifySegment);

// The report of the first difference: the failure text, an empty line, then the
// address in six hex digits and the buffer's and the chip's byte, each line in the
// current language's labels.
std::string MismatchReport(uint32_t address, uint8_t bufferByte, uint8_t chipByte);

}  // namespace qbr
