// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ops/LinkRequest.h"

#include <vector>

namespace qbr {

// The programmers attached now, by id: the emulated ones the request asks for, or
// those sysfs lists.
std::vector<ProgrammerSlot> AttachedProgrammers(const LinkRequest& request);

}  // namespace qbr
