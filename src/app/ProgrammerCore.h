#pragma once

#include "app/OperationHost.h"
#include "buffer/DataBuffer.h"
#include "chipdb/ChipDatabase.h"
#include "chipdb/ChipRecord.h"

#include <cstdint>
#include <string>

namespace qbr {

// Everything the main window owns for the whole run, and the handlers that work
// on it. Front ends hold one and show what it reports through their OperationHost.
class ProgrammerCore {
public:
    enum class StartResult { Ready, DatabaseError, OutOfMemory };

    explicit ProgrammerCore(OperationHost& host) : host_(host) {}

    // Loads the chip database, allocates the buffer and selects the default chip.
    // On failure the user has been told, and the buffer and chip commands must not run.
    StartResult Start();
    bool IsReady() const { return ready_; }

    // Reporting: log entries, the status line and the progress display.
    void LogText(const std::string& text);
    void ShowInfo(const std::string& text);
    void ShowError(const std::string& text);
    // 0..100 (larger values count as 100) or kProgressError for the red error state.
    void SetProgress(uint16_t value);
    void ShowChipInfo(const ChipRecord& chip);
    bool MessageBox(const std::string& text, BoxButtons buttons = BoxButtons::Ok);

    // Chip selection: the selectors show selectedChip; the handlers take the text
    // the user picked in a selector.
    void ShowSelectedChip();
    void OnChipTypeChanged(const std::string& typeText);
    void OnMakerChanged(const std::string& makerText);
    void OnChipNameChanged(const std::string& nameText);

    static constexpr uint16_t kProgressError = 0xFFFF;
    static constexpr const char* kFallbackChipName = "EN25T80";

    ChipDatabase database;
    DataBuffer buffer;
    ChipRecord selectedChip;
    std::string captionSuffix;
    bool lastStepOk = false;
    bool statusIsError = false;
    bool progressInError = false;

private:
    ChipRecord DefaultChip() const;
    void ShowChipsOfMaker(SelectorLists lists, const std::string& maker, uint32_t type);

    OperationHost& host_;
    bool ready_ = false;
};

}  // namespace qbr
