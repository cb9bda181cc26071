#pragma once

#include "chipdb/SelectorLists.h"

#include <string>

namespace qbr {

enum class BoxButtons { Ok, OkCancel };

// What the core needs from a front end: the main window in the GUI, the terminal
// in the command-line tool, a recorder in tests. The core decides what to show and
// when; the host only shows it.
class OperationHost {
public:
    virtual ~OperationHost() = default;

    // Status line text.
    virtual void SetStatusText(const std::string& text) = 0;
    // Red (true) or black text of the status line and the percentage label.
    virtual void SetErrorColour(bool error) = 0;
    // Progress bar position (0..100), its percentage label, and the bar's red error state.
    virtual void SetProgressDisplay(int position, const std::string& label, bool barInError) = 0;
    // Capacity value of the selected chip.
    virtual void SetCapacityText(const std::string& text) = 0;
    // Menu item and toolbar button of a command.
    virtual void EnableCommand(int command, bool enable) = 0;
    // The chip selectors' entries and selections.
    virtual void ShowSelectors(const SelectorLists& lists) = 0;
    // The buffer's active length changed: show the buffer anew with its checksum.
    virtual void BindHexView() = 0;
    virtual void FocusHexView() = 0;
    // Handles at most one waiting user-interface event; never waits.
    virtual void PumpOneMessage() = 0;
    // A modal message box; true when it was closed with OK.
    virtual bool MessageBox(const std::string& text, BoxButtons buttons) = 0;
};

}  // namespace qbr
