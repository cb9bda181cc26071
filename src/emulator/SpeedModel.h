// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>

namespace qbr {

// How fast the emulated programmer's wire is. Each transfer costs the fixed
// turnaround `latency` plus its bytes at `bytesPerSecond`; a rate of 0 means the
// bytes themselves cost nothing. The default model costs nothing at all.
struct SpeedModel {
    uint32_t bytesPerSecond = 0;
    std::chrono::microseconds latency{0};

    // USB full speed: about 19 bulk packets of 64 bytes per 1 ms frame, so
    // 1.2 MB/s, and an eighth of a frame between one transfer and the next.
    static SpeedModel FullSpeed() { return {1'200'000, std::chrono::microseconds(125)}; }

    bool IsUnlimited() const { return bytesPerSecond == 0 && latency.count() == 0; }
};

}  // namespace qbr
