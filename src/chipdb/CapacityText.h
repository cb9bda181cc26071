// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"

#include <string>

namespace qbr {

// The short capacity text of list rows: "64KB", "512B", "1024KB" (no mega unit);
// 93-series chips as "1K x8bit", "128 x8bit", "1K x16bit", "64 x16bit".
std::string ShortCapacityText(const ChipRecord& chip);

// The capacity text of the main window: as the short one but with mega units
// ("1MB", "1M x16bit"), x16 followed by the byte-order note, every text ending
// with "\r\n\r\n".
std::string LongCapacityText(const ChipRecord& chip);

}  // namespace qbr
