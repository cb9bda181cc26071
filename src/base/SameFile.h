// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qbr {

// Whether two names reach the same file, also one not made yet: through "..",
// symbolic links (one whose target doesn't exist yet too) and hard links.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace qbr
