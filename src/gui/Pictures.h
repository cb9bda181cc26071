// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace qbr::gui {

// The program's window icon.
QIcon ProgramIcon();

// Pictures shown when the configured picture files can't be loaded.
QPixmap BuiltInMainPicture();   // 180 x 120
QPixmap BuiltInAboutPicture();  // 120 x 120

}  // namespace qbr::gui
