// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/TickCount.h"

#include <cstdint>
#include <functional>

namespace qbr {

// How long a whole-chip erase of an SPI flash of `capacity` bytes may keep the
// programmer busy before it is given up, in ms. Datasheets give the slowest parts'
// whole-chip erase as at most about 20 s per MiB (older parts of 1 to 8 MiB: 20, 40,
// 80 and 160 s; 16 MiB: 200 to 250 s), and several seconds for the smallest
// ones. The limit is three times that, at least 30 s: a 1 MiB chip is given up
// after a minute, a 16 MiB chip after 16 minutes.
uint32_t EraseTimeLimitMs(uint32_t capacity);

// The clock and every time limit of the link, gathered so that tests can run the
// deadline logic in milliseconds with a scaled-down copy. All values in ms.
struct LinkTimings {
    // Millisecond tick, wrapping at 2^32. Called from worker threads too, so a
    // replacement must be safe to call from several threads at once.
    std::function<uint32_t()> clock = TickCount;

    // Every 4096-byte chunk of a transfer must complete within this.
    uint32_t chunkDeadlineMs = 5000;
    // A matching reply must arrive within this after the reply read started.
    uint32_t replyTimeoutMs = 1000;
    // Pause between two polls of a blocking transfer.
    uint32_t pollPauseMs = 5;
    // Longest single pipe call on the library path (its fixed read/write time-out).
    uint32_t libraryPipeTimeoutMs = 1000;
    // Pause before a failed chunk write is tried again.
    uint32_t writeRetryPauseMs = 1;

    // Time-outs of the request writes.
    uint32_t requestWriteTimeoutMs = 500;
    uint32_t chipWriteRequestTimeoutMs = 50000;

    // Time-outs of the data transfers that follow an accepted reply.
    uint32_t chipReadTimeoutMs = 100000;
    uint32_t chipWriteTimeoutMs = 1000000;
    uint32_t firmwareTimeoutMs = 10000;
    uint32_t selfTestTimeoutMs = 1000;
    // An erase whose busy status hasn't cleared after this, for a chip of the
    // given capacity in bytes, has failed.
    std::function<uint32_t(uint32_t capacity)> eraseTimeLimitMs = EraseTimeLimitMs;
};

}  // namespace qbr
