// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipRecord.h"
#include "core/OperationHost.h"
#include "link/ProgrammerProtocol.h"
#include "link/UsbLink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qbr {

// Everything the main window owns for the whole run, and the handlers that work
// on it. Front ends hold one and show what it reports through their OperationHost.
class ProgrammerCore {
public:
    enum class StartResult { Ready, DatabaseError, OutOfMemory };

    explicit ProgrammerCore(OperationHost& host) : host_(host) {}

    // Loads the chip database (the configured file, or `databasePath` when given),
    // allocates the buffer and selects the default chip. On failure the user has
    // been told, and the buffer and chip commands must not run.
    StartResult Start(const std::string& databasePath = {});
    bool IsReady() const { return ready_; }

    // Takes the link to the programmer and opens it once; without a programmer the
    // user is told so. The protocol works over this link from now on.
    void ConnectLink(std::unique_ptr<UsbLink> link);
    // Opens the link if it isn't open; false without a link or a programmer.
    bool OpenLink();
    // Why the last OpenLink failed; NotFound without a link.
    UsbLink::OpenProblem LinkProblem() const {
        return link_ ? link_->LastOpenProblem() : UsbLink::OpenProblem::NotFound;
    }
    // Tells the user (status line, log and box) that the programmer can't be
    // reached after a failed OpenLink, with the way out when access was refused.
    void ReportNoProgrammer();

    // Reporting: log entries, the status line and the progress display.
    void LogText(const std::string& text);
    void ShowInfo(const std::string& text);
    void ShowError(const std::string& text);
    // 0..100 (larger values count as 100) or kProgressError for the red error state.
    void SetProgress(uint16_t value);
    void ShowChipInfo(const ChipRecord& chip);
    bool MessageBox(const std::string& text, BoxButtons buttons = BoxButtons::Ok);
    // The front end, for the programmer commands: message pumping, the firmware
    // file dialog and the hex view's refresh.
    OperationHost& Host() { return host_; }

    // Chip selection: the selectors show selectedChip; the handlers take the text
    // the user picked in a selector.
    void ShowSelectedChip();
    void OnChipTypeChanged(const std::string& typeText);
    void OnMakerChanged(const std::string& makerText);
    void OnChipNameChanged(const std::string& nameText);
    // Search button: the search dialog picks a chip by name; refused while busy.
    void OnSearchChip();

    // Buffer commands; each refuses while a chip operation runs.
    void OnBufferFill();
    void OnByteSwap();
    void OnAddressLocation();

    // Image files. LoadImageFile reads raw binary or Intel HEX (by the name's last
    // three characters) into the selected chip's range; false when the file can't
    // be opened or is malformed.
    bool LoadImageFile(const std::string& path);
    void OnOpenFile();
    void OnSaveFile();
    void OnDropFiles(const std::vector<std::string>& paths);
    // The file named on the command line at start; the caption stays as it is.
    void LoadCommandLineFile(const std::string& path);
    void SetFileCaption(const std::string& path);
    // Recomputes the caption from the language's caption text and captionSuffix.
    std::string Caption() const;

    // True while a command that talks to the programmer runs (also between the
    // steps of Auto) or a transfer is under way: the buffer and the selected chip
    // must not change then.
    bool IsOperationRunning() const { return commandRunning || protocol.State() != OperationState::Idle; }
    // Busy check of the commands: a command running, or a transfer the protocol
    // doesn't report as Done.
    bool IsBusy();
    // True, after telling the user (box and log line), when IsBusy().
    bool RefuseWhileBusy();

    // Pieces the chip and programmer commands share.
    void StartTiming();
    // "   " + "Elapsed time: " + milliseconds since StartTiming + " ms".
    std::string ElapsedText() const;
    void UpdateProgress();
    // Waits `ms` milliseconds while the user interface goes on.
    void WaitMs(uint16_t ms);

    static constexpr uint16_t kProgressError = 0xFFFF;

    ChipDatabase database;
    DataBuffer buffer;
    ChipRecord selectedChip;
    std::string captionSuffix;
    bool lastStepOk = false;
    bool statusIsError = false;
    bool progressInError = false;
    // Set by a command that talks to the programmer for as long as it runs.
    bool commandRunning = false;
    // Whether a chip that becomes the selected one is stored as the chip for the
    // next start (the window does; a scripted run leaves the settings alone).
    bool rememberSelectedChip = true;
    // Set while Update Firmware runs, from its start text to every way out.
    bool firmwareUpdateActive = false;
    uint32_t operationStartTick = 0;
    ProgrammerProtocol protocol;

private:
    void ShowChipsOfMaker(SelectorLists lists, const std::string& maker, uint32_t type);
    bool KeepChipWhileRunning();
    // The steps of a chip-name change: select the chip by name, size the buffer,
    // show and remember the chip.
    void SettleOnChip(const std::string& nameText);

    void Alert(const std::string& text);
    void LoadFileAndReport(const std::string& path);

    OperationHost& host_;
    bool ready_ = false;
    // The alert shown last, so that an open that keeps failing the same way while
    // the link is watched shows its box once rather than every half second.
    std::string lastAlert_;
    // Declared last: destroyed first, so a transfer it abandons can't outlive the
    // buffer or the protocol's counters it writes to.
    std::unique_ptr<UsbLink> link_;
};

}  // namespace qbr
