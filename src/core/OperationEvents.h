// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"

#include <optional>
#include <string>

namespace qbr {

enum class BoxButtons { Ok, OkCancel };

// What an operation tells its front end while it runs, and what ProgrammerCore::Show
// makes of a result's final words: the window's status line, progress display and
// boxes, the command line's error stream. The front end only shows it.
class OperationEvents {
public:
    virtual ~OperationEvents() = default;

    // The status line's text, red for an error.
    virtual void SetStatus(const std::string& text, bool error) = 0;
    // Progress (0..100), its percentage label, and the bar's red error state.
    virtual void SetProgressDisplay(int position, const std::string& label, bool barInError) = 0;
    // A modal message box; true when it was closed with OK.
    virtual bool MessageBox(const std::string& text, BoxButtons buttons) = 0;
    // The firmware update file (*.qbr); nullopt when none was chosen.
    virtual std::optional<std::string> AskFirmwareFile() = 0;
    // A chip became the selected chip (by detection or the user's choice).
    virtual void ChipSelected(const ChipRecord& chip) = 0;
};

// Events nobody is shown: a command run for its result alone.
class SilentEvents final : public OperationEvents {
public:
    void SetStatus(const std::string&, bool) override {}
    void SetProgressDisplay(int, const std::string&, bool) override {}
    bool MessageBox(const std::string&, BoxButtons) override { return true; }
    std::optional<std::string> AskFirmwareFile() override { return std::nullopt; }
    void ChipSelected(const ChipRecord&) override {}
};

}  // namespace qbr
