// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ReplugText.h"

#include "base/Language.h"

namespace qbr {

std::string ReplugNeededText() {
    if (GetLanguage() == kLanguageChinese) return "编程器与本程序的通信已失步：请拔下编程器再重新插上。";
    return "The programmer is out of step with this program: unplug it and plug it in again.";
}

}  // namespace qbr
