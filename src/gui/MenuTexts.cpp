// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/MenuTexts.h"

#include "base/Language.h"

namespace qbr::gui {

const std::vector<MenuPopupTitle>& MenuPopupTitles() {
    static const std::vector<MenuPopupTitle> titles = {
        {MenuPopup::File, "File(F)", "文件(F)"},
        {MenuPopup::Edit, "Edit(&E)", "缓冲区(&B)"},
        {MenuPopup::Programmer, "Programmer(&P)", "编程器(&E)"},
        {MenuPopup::Firmware, "Firmware(&W)", "固件(&W)"},
        {MenuPopup::Language, "Language(&L)", "语言(Language)(&L)"},
        {MenuPopup::Help, "Help(&H)", "帮助(&H)"},
    };
    return titles;
}

TextLanguage MenuLanguage() {
    return SelectedLanguage() == TextLanguage::English ? TextLanguage::English : TextLanguage::Chinese;
}

}  // namespace qbr::gui
