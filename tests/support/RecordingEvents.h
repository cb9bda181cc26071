// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/OperationEvents.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qbr::test {

// The events of the operations, remembered for assertions.
class RecordingEvents : public OperationEvents {
public:
    // As in the window, a change of the status line or the progress is drawn at
    // once, which handles a waiting event: the user's action in `onPump`.
    void SetStatus(const std::string& text, bool error) override {
        statusText = text;
        errorColour = error;
        Pump();
    }
    void SetProgressDisplay(int, const std::string& label, bool barInError) override {
        progressLabel = label;
        progressBarRed = barInError;
        if (!barInError) errorColour = false;
        Pump();
    }
    bool MessageBox(const std::string& text, BoxButtons) override {
        boxes.push_back(text);
        return answer ? answer(text) : true;
    }
    std::optional<std::string> AskFirmwareFile() override { return firmwareAnswer; }
    void ChipSelected(const ChipRecord& chip) override { statusText = chip.chipName; }
    void Pump() {
        if (onPump) onPump();
    }

    std::string statusText;
    bool errorColour = false;
    std::string progressLabel;
    bool progressBarRed = false;
    // The answer of the firmware file dialog; nullopt = Cancel.
    std::optional<std::string> firmwareAnswer;
    // Runs on every pump (status, progress and the session's wait): a user's
    // action while a command keeps the window alive.
    std::function<void()> onPump;
    std::vector<std::string> boxes;
    std::function<bool(const std::string&)> answer;
};

}  // namespace qbr::test
