// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace qbr::gui {

// One menu item; command 0 marks a separator.
struct MenuItemText {
    int command = 0;
    const char* english = "";
    const char* chinese = "";
};

// One popup of the menu bar with its items in order.
struct MenuPopupText {
    const char* english;
    const char* chinese;
    std::vector<MenuItemText> items;
};

// The six popups of the main menu, the same layout in both languages.
const std::vector<MenuPopupText>& MainMenuTexts();

// One toolbar button: its command and the message id of its tooltip; command 0
// marks a separator.
struct ToolbarButton {
    int command = 0;
    int tooltipId = -1;
};

// The toolbar's buttons and separators, left to right.
const std::vector<ToolbarButton>& ToolbarButtons();

// The English menu and toolbar are used only for "English"; every other
// language setting, also an empty or unknown one, gets the Chinese ones.
bool UsesEnglishMenu(const std::string& language);

}  // namespace qbr::gui
