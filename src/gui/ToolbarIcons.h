// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace qbr::gui {

// The glyph of a toolbar button, painted at run time; an empty icon for a
// command without a button.
QIcon ToolbarIcon(int command);

}  // namespace qbr::gui
