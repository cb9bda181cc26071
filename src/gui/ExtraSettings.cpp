// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ExtraSettings.h"

#include "base/Config.h"

namespace qbr::gui {

bool ExtraSettingOn(const char* key) {
    return ReadConfig(kExtrasSection, key) == "1";
}

bool SetExtraSetting(const char* key, bool on) {
    return WriteConfig(kExtrasSection, key, on ? "1" : "0");
}

}  // namespace qbr::gui
