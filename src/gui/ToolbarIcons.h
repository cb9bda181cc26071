// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/CommandTable.h"

#include <QIcon>

namespace qbr::gui {

// The glyph of a toolbar button, painted at run time; an empty icon for NoButton.
QIcon ToolbarIcon(CommandIcon icon);

}  // namespace qbr::gui
