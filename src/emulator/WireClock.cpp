// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/WireClock.h"

#include <algorithm>

namespace qbr {

WireClock::Clock::time_point WireClock::Book(uint32_t bytes, Clock::time_point now) {
    std::chrono::nanoseconds cost = model_.latency;
    if (model_.bytesPerSecond != 0)
        cost += std::chrono::nanoseconds(uint64_t{bytes} * 1'000'000'000u / model_.bytesPerSecond);
    booked_ += cost;
    end_ = std::max(end_, now - oversleep_) + cost;
    oversleep_ = {};
    return end_;
}

void WireClock::Woke(Clock::time_point end, Clock::time_point now) {
    if (end == end_ && now > end) oversleep_ = now - end;
}

}  // namespace qbr
