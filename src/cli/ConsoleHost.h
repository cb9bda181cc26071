// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/OperationHost.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace qbr {

// The command-line tool's front end for the core: every status-line and message
// box text goes to the error stream, one per line (line breaks inside a text as
// newlines, a text repeated right after itself once, a first line repeated right
// after itself once too), and the progress of a
// transfer is drawn as a bar with its rate when the stream is a terminal. Boxes
// are answered with OK; the window's other dialogs don't exist here.
class ConsoleHost : public OperationHost {
public:
    ConsoleHost(std::ostream& err, bool drawProgress) : err_(err), drawProgress_(drawProgress) {}

    // Progress goes to `sink` instead of a bar of its own (the runs of a batch share
    // one display).
    using ProgressSink = std::function<void(int position, const std::string& label)>;
    void SetProgressSink(ProgressSink sink) { sink_ = std::move(sink); }
    // While muted nothing is printed (start-up texts of the core).
    void SetMuted(bool muted) { muted_ = muted; }
    // Size of the transfers the progress bar stands for, for the rate.
    void SetTransferSize(uint32_t bytes) { transferSize_ = bytes; }
    void SetFirmwareFile(std::string path) { firmwareFile_ = std::move(path); }
    // The text with its "\r\n" line breaks as plain newlines.
    static std::string WithNewlines(const std::string& text);
    // The last status-line text, kept also while muted.
    const std::string& LastStatus() const { return lastStatus_; }

    void SetStatusText(const std::string& text) override {
        lastStatus_ = text;
        Say(text);
    }
    void SetErrorColour(bool) override {}
    void SetProgressDisplay(int position, const std::string& label, bool barInError) override;
    void SetCapacityText(const std::string&) override {}
    void OfferCommandsFor(uint32_t) override {}
    void ShowSelectors(const SelectorLists&) override {}
    void BindHexView() override {}
    void RefreshHexView() override {}
    void GoToAddress(uint32_t) override {}
    void FocusHexView() override {}
    void SetCaption(const std::string&) override {}
    std::optional<std::string> AskOpenFile() override { return std::nullopt; }
    std::optional<std::string> AskSaveFile() override { return std::nullopt; }
    std::optional<FillRequest> AskBufferFill() override { return std::nullopt; }
    std::optional<LocateRequest> AskAddressLocation() override { return std::nullopt; }
    std::optional<std::string> AskFirmwareFile() override { return firmwareFile_; }
    std::optional<std::string> AskChipSearch() override { return std::nullopt; }
    bool MessageBox(const std::string& text, BoxButtons buttons) override;

private:
    void Say(const std::string& text);
    void EndProgressLine();

    std::ostream& err_;
    const bool drawProgress_;
    ProgressSink sink_;
    bool muted_ = false;
    uint32_t transferSize_ = 0;
    std::optional<std::string> firmwareFile_;
    std::string lastStatus_;
    std::string lastSaid_;
    bool progressLineOpen_ = false;
    int lastPosition_ = -1;
    std::chrono::steady_clock::time_point progressStart_;
};

}  // namespace qbr
