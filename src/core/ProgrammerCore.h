// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/DataBuffer.h"
#include "buffer/ImageFile.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipRecord.h"
#include "core/CommandResult.h"
#include "core/OperationHost.h"
#include "core/ProgrammerSession.h"

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

    // Hands the link to the session and opens it once; without a programmer the
    // user is told so.
    void ConnectLink(std::unique_ptr<UsbLink> link);
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
    // The front end, for the programmer commands: the firmware file dialog and
    // the hex view's refresh.
    OperationHost& Host() { return host_; }
    // The programmer: its link, protocol, busy state, timing and wait.
    ProgrammerSession& Session() { return session_; }

    // The chip database, the buffer and the chip worked on.
    const ChipDatabase& Database() const { return database_; }
    DataBuffer& Buffer() { return buffer_; }
    const ChipRecord& SelectedChip() const { return selectedChip_; }

    // The one way a chip becomes the selected chip, for every caller (selectors,
    // search, detection, the command line): sizes the buffer to it, shows it in
    // the selectors and the capacity text and, unless told not to, remembers it
    // for the next start.
    void SelectChip(const ChipRecord& chip);
    // Whether SelectChip stores the chip for the next start (the window does; a
    // scripted run leaves the settings alone).
    void SetRememberSelectedChip(bool remember) { rememberSelectedChip_ = remember; }
    // The selectors show the selected chip again.
    void ShowSelectedChip();
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

    // Image files. LoadImageFile reads raw binary, Intel HEX or S-records (by the
    // file's name) into the selected chip's range; FileError when the file can't be
    // opened or is malformed.
    Outcome LoadImageFile(const std::string& path);
    // How the last LoadImageFile ended, with the fault of a malformed file.
    const ImageLoadResult& LastImageLoad() const { return lastImageLoad_; }
    Outcome OnOpenFile();
    Outcome OnSaveFile();
    Outcome OnDropFiles(const std::vector<std::string>& paths);
    // The file named on the command line at start; the caption stays as it is.
    Outcome LoadCommandLineFile(const std::string& path);
    void SetFileCaption(const std::string& path);
    // The language's caption text and the loaded file's name.
    std::string Caption() const;

    // True, after telling the user (box and log line), when the session is busy.
    bool RefuseWhileBusy();

    // Pieces the chip and programmer commands share.
    // "   " + "Elapsed time: " + milliseconds since the session's StartTiming + " ms".
    std::string ElapsedText() const;
    void UpdateProgress();

    static constexpr uint16_t kProgressError = 0xFFFF;

private:
    Outcome ShowChipsOfMaker(SelectorLists lists, const std::string& maker, uint32_t type);
    bool KeepChipWhileRunning();
    // A chip-name change: the chip of that name becomes the selected chip.
    Outcome SettleOnChip(const std::string& nameText);
    void ShowSettledChip();

    Outcome LoadFileAndReport(const std::string& path);

    OperationHost& host_;
    ChipDatabase database_;
    DataBuffer buffer_;
    ChipRecord selectedChip_;
    std::string captionSuffix_;
    bool rememberSelectedChip_ = true;
    ImageLoadResult lastImageLoad_;
    bool ready_ = false;
    // Declared last: destroyed first, so a transfer it abandons can't outlive the
    // buffer it writes to.
    ProgrammerSession session_;
};

}  // namespace qbr
