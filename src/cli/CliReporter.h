// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/OperationEvents.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace qbr {

// The command-line tool's reporter: what the operations show as they run and the
// final words of their results (ProgrammerCore::Show) go to the error stream,
// every status-line and message box text one per line (line breaks inside a
// text as newlines, a text repeated right after itself once, a first line repeated
// right after itself once too), and the progress of a transfer is drawn as a bar
// with its rate when the stream is a terminal. Boxes are answered with OK; a chip
// selected by detection is named.
class CliReporter : public OperationEvents {
public:
    CliReporter(std::ostream& err, bool drawProgress) : err_(err), drawProgress_(drawProgress) {}

    // Progress goes to `sink` instead of a bar of its own (the runs of a batch share
    // one display).
    using ProgressSink = std::function<void(int position, const std::string& label)>;
    void SetProgressSink(ProgressSink sink) { sink_ = std::move(sink); }
    // Size of the transfers the progress bar stands for, for the rate.
    void SetTransferSize(uint32_t bytes) { transferSize_ = bytes; }
    void SetFirmwareFile(std::string path) { firmwareFile_ = std::move(path); }
    // The text with its "\r\n" line breaks as plain newlines.
    static std::string WithNewlines(const std::string& text);
    void SetStatus(const std::string& text, bool) override { Say(text); }
    void SetProgressDisplay(int position, const std::string& label, bool barInError) override;
    bool MessageBox(const std::string& text, BoxButtons buttons) override;
    std::optional<std::string> AskFirmwareFile() override { return firmwareFile_; }
    void ChipSelected(const ChipRecord& chip) override { Say(chip.chipName); }

private:
    void Say(const std::string& text);
    void EndProgressLine();

    std::ostream& err_;
    const bool drawProgress_;
    ProgressSink sink_;
    uint32_t transferSize_ = 0;
    std::optional<std::string> firmwareFile_;
    std::string lastSaid_;
    bool progressLineOpen_ = false;
    int lastPosition_ = -1;
    std::chrono::steady_clock::time_point progressStart_;
};

}  // namespace qbr
