// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ImageFile.h"
#include "core/ProgrammerCore.h"
#include "gui/ProgressSteps.h"
#include "gui/WindowView.h"
#include "ops/CommandTable.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qbr::gui {

// What the main window shows and how its controls act, without Qt: it owns the
// workspace and the programmer's session, runs the commands, and turns what they
// report into the window's selectors, status line, progress, boxes and log.
class WindowPresenter : public OperationEvents {
public:
    explicit WindowPresenter(WindowView& view) : view_(view) {}

    // Starts the workspace (chip database, buffer, default chip) and shows the
    // selected chip; a failure is shown in a box, and the buffer and chip commands
    // must not run then.
    Workspace::StartResult Start();

    ProgrammerCore& Core() { return core_; }

    // A buffer or programmer command of the table.
    CommandResult Run(const CommandRow& row);
    // Shows the end of a command of the table run otherwise; a read that filled
    // the buffer shows in the view.
    CommandResult Finish(const CommandRow& row, const CommandResult& result);
    // While set, one bar for a command of several transfers (see ProgressSteps);
    // nullopt: each transfer shows its own.
    void SplitProgress(std::optional<ProgressSteps> steps) { progressSteps_ = std::move(steps); }

    // Handlers of the three selectors; each takes the text the user picked and is
    // refused (Busy, the selectors put back) while a command runs.
    Outcome OnChipTypeChanged(const std::string& typeText);
    Outcome OnMakerChanged(const std::string& makerText);
    Outcome OnChipNameChanged(const std::string& nameText);
    // Search button: the search dialog picks a chip by name; refused while busy.
    Outcome OnSearchChip();

    // Buffer commands; each refuses while a chip operation runs.
    Outcome OnBufferFill();
    Outcome OnByteSwap();
    Outcome OnAddressLocation();

    // Image files: raw binary, Intel HEX or S-records (by the file's name) into the
    // selected chip's range.
    Outcome OnOpenFile();
    Outcome OnSaveFile();
    Outcome OnDropFiles(const std::vector<std::string>& paths);
    // The file named on the command line at start; the caption stays as it is.
    Outcome LoadCommandLineFile(const std::string& path);
    // The language's caption text and the loaded file's name.
    std::string Caption() const;

    // OperationEvents
    void SetStatus(const std::string& text, bool error) override;
    void SetProgressDisplay(int position, const std::string& label, bool barInError) override;
    bool MessageBox(const std::string& text, BoxButtons buttons) override;
    std::optional<std::string> AskFirmwareFile() override { return view_.AskFirmwareFile(); }
    void ChipSelected(const ChipRecord& chip) override;

private:
    Outcome ShowChipsOfMaker(uint32_t type, const std::string& maker);
    bool KeepChipWhileRunning();
    // A chip-name change: the chip of that name becomes the selected chip.
    Outcome SettleOnChip(const std::string& nameText);

    std::optional<RecordError> LoadImageFile(const std::string& path);
    Outcome LoadFileAndReport(const std::string& path);
    void SetFileCaption(const std::string& path);

    WindowView& view_;
    Workspace workspace_;
    // Declared after the workspace: destroyed first, so a transfer its link
    // abandons can't outlive the buffer it writes to.
    ProgrammerSession session_;
    ProgrammerCore core_{session_, workspace_, *this};
    std::string captionSuffix_;
    std::optional<ProgressSteps> progressSteps_;
};

}  // namespace qbr::gui
