// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace qbr {

// Milliseconds of a monotonic clock, wrapping at 2^32 like a system tick counter.
uint32_t TickCount();

}  // namespace qbr
