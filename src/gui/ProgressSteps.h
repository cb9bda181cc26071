// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <numeric>
#include <vector>

namespace qbr::gui {

// One progress bar for a command made of several transfers, each of which shows
// its own 0..100: each fills its share of the bar, by weight (bytes moved). A
// transfer starts at a position below the last one shown, so a fall moves on to
// the next share.
class ProgressSteps {
public:
    explicit ProgressSteps(std::vector<uint64_t> weights)
        : weights_(std::move(weights)), total_(std::accumulate(weights_.begin(), weights_.end(), uint64_t{0})) {}

    // The command's position for the running transfer's `position` (0..100).
    int Map(int position) {
        if (position < last_ && step_ + 1 < weights_.size()) before_ += weights_[step_++];
        last_ = position;
        if (total_ == 0) return position;
        return static_cast<int>((before_ * 100 + weights_[step_] * static_cast<uint64_t>(position)) / total_);
    }

private:
    std::vector<uint64_t> weights_;
    uint64_t total_;
    uint64_t before_ = 0;
    size_t step_ = 0;
    int last_ = 0;
};

}  // namespace qbr::gui
