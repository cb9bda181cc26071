// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

namespace qbr {

// The progress of a batch on a terminal: one line per programmer, redrawn in place
// (at most ten times a second) as the runs report from their threads.
class BatchProgress {
public:
    BatchProgress(std::ostream& err, std::vector<std::string> ids);

    void Update(size_t run, int position, const std::string& label);
    // The run's line shows `result` from now on.
    void Finish(size_t run, const std::string& result);

private:
    void Draw();

    std::mutex mutex_;
    std::ostream& err_;
    const std::vector<std::string> ids_;
    std::vector<std::string> states_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace qbr
