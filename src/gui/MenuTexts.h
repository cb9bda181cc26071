// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/CommandTable.h"

#include <string>
#include <vector>

namespace qbr::gui {

// The title of one popup of the menu bar; its items are the command table's
// rows of that popup.
struct MenuPopupTitle {
    MenuPopup popup;
    const char* english;
    const char* chinese;
};

// The six popups of the main menu, left to right, the same in both languages.
const std::vector<MenuPopupTitle>& MenuPopupTitles();

// The English menu and toolbar are used only for "English"; every other
// language setting, also an empty or unknown one, gets the Chinese ones.
bool UsesEnglishMenu(const std::string& language);

}  // namespace qbr::gui
