// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Bilingual.h"
#include "ops/CommandTable.h"

#include <string>
#include <vector>

namespace qbr::gui {

// The title of one popup of the menu bar; its items are the command table's
// rows of that popup.
struct MenuPopupTitle {
    MenuPopup popup;
    Bilingual<const char*> title;
};

// The six popups of the main menu, left to right, the same in both languages.
const std::vector<MenuPopupTitle>& MenuPopupTitles();

// The language of the menu and toolbar: English only when English is selected;
// every other language setting, also an empty or unknown one, gets the Chinese ones.
TextLanguage MenuLanguage();

}  // namespace qbr::gui
