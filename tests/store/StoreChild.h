// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/ProductionStore.h"

#include <string>

// The test program run as a child, for what needs a process of its own (exit 0
// when all went as it should, 1 with the reason on stderr otherwise):
//   --take-and-vanish STORE COUNTER   takes a number and exits as a crash does
//   --disk-full DIR                   fills the small file system DIR while taking numbers
//   --read-only DIR                   DIR made read-only since: stores refused
inline constexpr char kTakeAndVanish[] = "--take-and-vanish";

namespace qbr {

inline ChipRow TestChip(const std::string& station, const std::string& programmer) {
    ChipRow row;
    row.station = station;
    row.programmer = programmer;
    row.chip = "W25Q64";
    row.command = "auto";
    return row;
}

}  // namespace qbr
