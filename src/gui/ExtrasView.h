// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/ExtraCommands.h"

#include <string>

namespace qbr::gui {

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
};

}  // namespace qbr::gui
