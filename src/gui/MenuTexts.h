// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Bilingual.h"
#include "base/Language.h"
#include "base/MessageTable.h"
#include "ops/CommandTable.h"

#include <QString>

namespace qbr::gui {

// The title of one popup of the menu bar; its items are the command table's
// rows of that popup.
struct MenuPopupTitle {
    MenuPopup popup;
    Bilingual<const char*> title;
};

// The six popups of the main menu, left to right, the same in both languages.
inline constexpr MenuPopupTitle kMenuPopupTitles[] = {
    {MenuPopup::File, "File(F)", "文件(F)"},
    {MenuPopup::Edit, "Edit(&E)", "缓冲区(&B)"},
    {MenuPopup::Programmer, "Programmer(&P)", "编程器(&E)"},
    {MenuPopup::Firmware, "Firmware(&W)", "固件(&W)"},
    {MenuPopup::Language, "Language(&L)", "语言(Language)(&L)"},
    {MenuPopup::Help, "Help(&H)", "帮助(&H)"},
};

// The language of the menu and toolbar: English only when English is selected;
// every other language setting, also an empty or unknown one, gets the Chinese ones.
inline TextLanguage MenuLanguage() {
    return SelectedLanguage() == TextLanguage::English ? TextLanguage::English : TextLanguage::Chinese;
}

// A text of the message table in the current language, for a widget.
inline QString Text(int message) {
    return QString::fromStdString(MessageText(message));
}

}  // namespace qbr::gui
