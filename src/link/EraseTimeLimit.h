// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace qbr {

// How long a whole-chip erase of an SPI flash of `capacity` bytes may keep the
// programmer busy before it is given up, in ms. Datasheets give the slowest parts'
// whole-chip erase as at most about 20 s per MiB (older parts of 1 to 8 MiB: 20, 40,
// 80 and 160 s; 16 MiB: 200 to 250 s), and several seconds for the smallest
// ones. The limit is three times that, at least 30 s: a 1 MiB chip is given up
// after a minute, a 16 MiB chip after 16 minutes.
uint32_t EraseTimeLimitMs(uint32_t capacity);

}  // namespace qbr
