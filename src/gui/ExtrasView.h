// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ByteSearch.h"
#include "gui/ExtraCommands.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qbr::gui {

// What the Find box asks for.
struct FindRequest {
    std::string pattern;
    SearchKind kind = SearchKind::Hex;
    SearchDirection direction = SearchDirection::Forward;
};

// The window's extra items as their presenter drives them: the main window on
// the screen, a recorder in tests.
class ExtrasView {
public:
    virtual ~ExtrasView() = default;

    // Shows or hides every extra item, with the separators before them.
    virtual void ShowExtraItems(bool shown) = 0;
    // The check mark of an option's item.
    virtual void CheckExtraItem(ExtraCommandId id, bool checked) = 0;
    // Opens the folder in the desktop's file manager; false when none could be started.
    virtual bool OpenFolder(const std::string& path) = 0;

    // Compare, Find and the chip map.
    // The differences marked in the view changed (a compare): redraw them.
    virtual void ShowDifferences() = 0;
    // Shows the chip map beside the view, or hides it.
    virtual void ShowChipMap(bool shown) = 0;
    // Puts the caret on `start` in view and selects `length` bytes from there (none for 0).
    virtual void SelectBytes(uint32_t start, uint32_t length) = 0;
    // The byte under the caret.
    virtual uint32_t CaretAddress() const = 0;
    // The Find box, filled with the last request; nullopt for Cancel.
    virtual std::optional<FindRequest> AskFind(const FindRequest& last) = 0;
};

}  // namespace qbr::gui
