// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/ConfiguredFiles.h"

#include <QIcon>
#include <QPixmap>

namespace qbr::gui {

// The program's window icon.
QIcon ProgramIcon();

// The picture shown when the configured picture file can't be loaded: the
// programmer, with its cable in the main window's (180 x 120), without in the
// About box's (120 x 120).
QPixmap BuiltInPicture(int width, int height, bool withCable);

// The picture file config.ini names, or a null pixmap when it is missing, no
// picture, or no regular file (a FIFO would be waited on for ever).
QPixmap ConfiguredPicture(ConfiguredFile file);

}  // namespace qbr::gui
