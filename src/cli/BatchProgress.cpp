// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/BatchProgress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace qbr {

namespace {

constexpr auto kRedrawPause = std::chrono::milliseconds(100);

}  // namespace

BatchProgress::BatchProgress(std::ostream& err, std::vector<std::string> ids)
    : err_(err), ids_(std::move(ids)), states_(ids_.size()) {
    const std::lock_guard lock(mutex_);
    Draw();
}

void BatchProgress::Update(size_t run, int position, const std::string& label) {
    char bar[64];
    std::snprintf(bar, sizeof bar, "[%-25s] %5s", std::string(std::clamp(position, 0, 100) / 4, '#').c_str(),
                  label.c_str());
    const std::lock_guard lock(mutex_);
    states_[run] = bar;
    if (std::chrono::steady_clock::now() - lastDraw_ >= kRedrawPause) Draw();
}

void BatchProgress::Finish(size_t run, const std::string& result) {
    const std::lock_guard lock(mutex_);
    states_[run] = result;
    Draw();
}

// Back to the first line, then every line anew (cleared to its end).
void BatchProgress::Draw() {
    if (drawn_) err_ << "\x1b[" << ids_.size() << 'A';
    for (size_t i = 0; i < ids_.size(); ++i) err_ << "\r\x1b[K[" << ids_[i] << "] " << states_[i] << '\n';
    err_ << std::flush;
    drawn_ = true;
    lastDraw_ = std::chrono::steady_clock::now();
}

}  // namespace qbr
