// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qbr {

// What the log says when a command failed while the programmer was out of step
// with the program (it still expected data, or owed data that never came): only
// unplugging it and plugging it in again puts it right. In the current language.
std::string ReplugNeededText();

}  // namespace qbr
