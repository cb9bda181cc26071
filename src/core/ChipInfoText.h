// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chipdb/ChipRecord.h"

#include <string>

namespace qbr {

// The capacity text of the main window: mega units, 93-series in x8 or x16
// organisation (x16 in words, followed by the byte-order note), every text ending
// with "\r\n\r\n".
std::string LongCapacityText(const ChipRecord& chip);

// The log entry written when a chip becomes the selected chip:
// "Chip:" name ", " "Manu" maker ", " capacity text.
std::string ChipInfoLogLine(const ChipRecord& chip);

}  // namespace qbr
