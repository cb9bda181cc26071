// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/ProductionStore.h"

#include <string>

// The test program run as a child of a test, for what needs a process of its own:
//   --take-and-vanish STORE COUNTER   takes a number and exits without finishing it
//   --disk-full DIR                   on a small file system DIR: a store filled up
//   --read-only DIR                   DIR made read-only since: the store refused
// Exits 0 when all went as it should, 1 with the reason on stderr otherwise.
inline constexpr char kTakeAndVanish[] = "--take-and-vanish";
inline constexpr char kDiskFull[] = "--disk-full";
inline constexpr char kReadOnly[] = "--read-only";

namespace qbr {

// A chip of the tests as a run starts it.
inline ChipRow TestChip(const std::string& station, const std::string& programmer) {
    ChipRow row;
    row.station = station;
    row.programmer = programmer;
    row.chip = "W25Q64";
    row.command = "auto";
    return row;
}

}  // namespace qbr
