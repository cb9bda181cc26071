// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace qbr::gui {

// The program's window icon.
QIcon ProgramIcon();

// The picture shown when the configured picture file can't be loaded: the
// programmer, with its cable in the main window's (180 x 120), without in the
// About box's (120 x 120).
QPixmap BuiltInPicture(int width, int height, bool withCable);

}  // namespace qbr::gui
