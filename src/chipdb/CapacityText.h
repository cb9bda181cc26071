// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"

#include <string>

namespace qbr {

// The short capacity text of list rows: "64KB", "512B", "1024KB" (no mega unit);
// 93-series chips as "1K x8bit", "128 x8bit", "1K x16bit", "64 x16bit".
std::string ShortCapacityText(const ChipRecord& chip);

}  // namespace qbr
