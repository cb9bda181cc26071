// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "emulator/SpeedModel.h"

#include <chrono>
#include <cstdint>

namespace qbr {

// Books transfers on the emulated wire under a SpeedModel and says when each one
// ends, so the caller can sleep until then. The wire carries one transfer at a
// time: a transfer booked while another is still under way starts where that one
// ends. The time a caller oversleeps is credited to the next transfer, so that
// over a long run the elapsed time follows the model instead of drifting by one
// oversleep per transfer; the time the host itself spends between transfers is
// not credited.
class WireClock {
public:
    using Clock = std::chrono::steady_clock;

    void SetModel(const SpeedModel& model) { model_ = model; }
    bool IsUnlimited() const { return model_.IsUnlimited(); }

    // Books a transfer of `bytes` starting no earlier than `now`; returns its end.
    Clock::time_point Book(uint32_t bytes, Clock::time_point now);
    // Tells the clock that the caller, sleeping until `end`, woke at `now`.
    void Woke(Clock::time_point end, Clock::time_point now);

    // Sum of the cost of every booked transfer since the last reset.
    std::chrono::nanoseconds BookedTime() const { return booked_; }
    void ResetBookedTime() { booked_ = {}; }

private:
    SpeedModel model_;
    Clock::time_point end_{};
    Clock::duration oversleep_{};
    std::chrono::nanoseconds booked_{};
};

}  // namespace qbr
