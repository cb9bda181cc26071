// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipRecord.h"
#include "core/CommandResult.h"
#include "core/OperationEvents.h"
#include "core/ProgrammerSession.h"
#include "core/Workspace.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qbr {

// What an operation works with: the programmer's session, the workspace, and the
// events its front end shows. It owns none of them; a front end makes one for each
// way it wants an operation's events shown (the command line's diagnosis runs
// commands for their results alone).
class ProgrammerCore {
public:
    ProgrammerCore(ProgrammerSession& session, Workspace& workspace, OperationEvents& events)
        : session_(session), workspace_(workspace), events_(events) {}

    // Hands the link to the session and opens it once; without a programmer the
    // user is told so.
    void ConnectLink(std::unique_ptr<UsbLink> link);
    // The words of a failed OpenLink: the programmer can't be reached, with the way
    // out when access was refused.
    CommandResult NoProgrammer() const;
    // A refusal while the session is busy: the busy text in a box, and in the log
    // when `logged`.
    static CommandResult Busy(bool logged);

    // Shows a command's final words, as the window and the command line do when
    // it has ended (and Auto and the longer jobs after each of their steps).
    void Show(const CommandResult& result);

    // Reporting: log entries, the status line and the progress display.
    void LogText(const std::string& text);
    void ShowInfo(const std::string& text);
    void ShowError(const std::string& text);
    // 0..100 (larger values count as 100) or kProgressError for the red error state.
    void SetProgress(uint16_t value);
    bool MessageBox(const std::string& text, BoxButtons buttons = BoxButtons::Ok);
    OperationEvents& Events() { return events_; }

    ProgrammerSession& Session() { return session_; }
    Workspace& Space() { return workspace_; }
    const ChipDatabase& Database() const { return workspace_.Database(); }
    DataBuffer& Buffer() { return workspace_.Buffer(); }
    const ChipRecord& SelectedChip() const { return workspace_.SelectedChip(); }
    // The chip becomes the selected chip, and the front end is told so.
    void SelectChip(const ChipRecord& chip);

    // True, after telling the user (box and log line), when the session is busy.
    bool RefuseWhileBusy();

    // "   " + "Elapsed time: " + milliseconds since the session's StartTiming (or
    // since the tick count `start`) + " ms".
    std::string ElapsedText(std::optional<uint32_t> start = std::nullopt) const;
    void UpdateProgress();

    static constexpr uint16_t kProgressError = 0xFFFF;

private:
    ProgrammerSession& session_;
    Workspace& workspace_;
    OperationEvents& events_;
};

}  // namespace qbr
