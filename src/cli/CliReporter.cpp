// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliReporter.h"

#include <cstdio>

namespace qbr {
std::string CliReporter::WithNewlines(const std::string& text) {
    std::string lines;
    lines.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    }
    return lines;
}

bool CliReporter::MessageBox(const std::string& text, BoxButtons) {
    Say(text);
    return true;
}

void CliReporter::Say(const std::string& text) {
    if (text == lastSaid_) return;
    // A box that repeats the status line just printed, less its elapsed time, adds nothing.
    if (!lastSaid_.empty() && lastSaid_.starts_with(text)) return;
    // A box whose first line is the status line just printed adds only its other lines.
    const bool continues = !lastSaid_.empty() && text.starts_with(lastSaid_ + "\r\n");
    const std::string shown = continues ? text.substr(lastSaid_.size() + 2) : text;
    lastSaid_ = text;
    EndProgressLine();
    err_ << WithNewlines(shown) << '\n' << std::flush;
}

void CliReporter::EndProgressLine() {
    if (!progressLineOpen_) return;
    err_ << '\n';
    progressLineOpen_ = false;
}

void CliReporter::SetProgressDisplay(int position, const std::string& label, bool barInError) {
    if (sink_) sink_(position, label);
    if (!drawProgress_ || barInError || position == lastPosition_) return;
    const auto now = std::chrono::steady_clock::now();
    if (position == 0 || lastPosition_ < 0 || position < lastPosition_) progressStart_ = now;
    lastPosition_ = position;
    const double seconds = std::chrono::duration<double>(now - progressStart_).count();
    const double kilobytes = transferSize_ / 1024.0 * position / 100.0;
    const int filled = position / 4;
    char line[96];
    std::snprintf(line, sizeof line, "\r[%-25s] %5s %8.0f KB/s", std::string(filled, '#').c_str(), label.c_str(),
                  seconds > 0 ? kilobytes / seconds : 0.0);
    err_ << line << std::flush;
    progressLineOpen_ = true;
}

}  // namespace qbr
