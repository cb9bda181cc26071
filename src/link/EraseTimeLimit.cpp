// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/LinkTimings.h"

#include <algorithm>

namespace qbr {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kWorstEraseMsPerMiB = 20000;
constexpr uint64_t kShortestWorstEraseMs = 10000;
constexpr uint64_t kMargin = 3;

}  // namespace

uint32_t EraseTimeLimitMs(uint32_t capacity) {
    // Rounded up to whole MiB of worst erase time, in 64 bits: no capacity overflows it.
    const uint64_t worstMs = (uint64_t{capacity} * kWorstEraseMsPerMiB + kMiB - 1) / kMiB;
    return static_cast<uint32_t>(kMargin * std::max(worstMs, kShortestWorstEraseMs));
}

}  // namespace qbr
