// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipSelectors.h"
#include "chipdb/ChipType.h"
#include "core/OperationEvents.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qbr::gui {

// What the Buffer Fill dialog returns after OK; `valid` when all fields parsed.
struct FillRequest {
    uint32_t start = 0;
    uint32_t length = 0;
    uint8_t fillByte = 0;
    bool valid = false;
};

// What the Address Location dialog returns after OK.
struct LocateRequest {
    uint32_t address = 0;
    bool valid = false;
};

// The main window's widgets and dialogs as the presenter drives them: the main
// window on the screen, a recorder in tests.
class WindowView {
public:
    virtual ~WindowView() = default;

    virtual void SetStatusText(const std::string& text) = 0;
    // Red (true) or black text of the status line and the percentage label.
    virtual void SetErrorColour(bool error) = 0;
    // Progress bar position (0..100), its percentage label, and the bar's red error state.
    virtual void SetProgressDisplay(int position, const std::string& label, bool barInError) = 0;
    // Capacity value of the selected chip.
    virtual void SetCapacityText(const std::string& text) = 0;
    // A chip of this type is selected: offer the commands allowed for it.
    virtual void OfferCommandsFor(ChipFamily family) = 0;
    // The chip selectors' entries and selections.
    virtual void ShowSelectors(const SelectorLists& lists) = 0;
    // The buffer's active length changed: show the buffer from the top with its checksum.
    virtual void BindHexView() = 0;
    // The buffer's bytes changed: redraw the view and recompute its checksum.
    virtual void RefreshHexView() = 0;
    // Caret to the byte, its row to the top.
    virtual void GoToAddress(uint32_t address) = 0;
    virtual void FocusHexView() = 0;
    virtual void SetCaption(const std::string& text) = 0;
    // Dialogs; nullopt when cancelled.
    virtual std::optional<std::string> AskOpenFile() = 0;
    virtual std::optional<std::string> AskSaveFile() = 0;
    virtual std::optional<FillRequest> AskBufferFill() = 0;
    virtual std::optional<LocateRequest> AskAddressLocation() = 0;
    // The firmware update file (*.qbr).
    virtual std::optional<std::string> AskFirmwareFile() = 0;
    // The chip search dialog: the chosen chip name after OK (empty when none was
    // chosen), nullopt after Cancel.
    virtual std::optional<std::string> AskChipSearch() = 0;
    // A modal message box; true when it was closed with OK.
    virtual bool MessageBox(const std::string& text, BoxButtons buttons) = 0;
};

}  // namespace qbr::gui
