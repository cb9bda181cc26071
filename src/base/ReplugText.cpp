// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/ReplugText.h"

#include "base/Language.h"

namespace qbr {

std::string ReplugNeededText() {
    static constexpr Bilingual<const char*> kText = {
        "The programmer is out of step with this program: unplug it and plug it in again.",
        "编程器与本程序的通信已失步：请拔下编程器再重新插上。"};
    return InCurrentLanguage(kText);
}

}  // namespace qbr
