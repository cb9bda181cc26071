// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>

namespace qbr {

// The options of the chip commands beyond the window's: ranges, repeated reads,
// the full diff, backups and sparse writes, each on the commands it applies to.
void AddChipOptions(CLI::App& app, CliOptions& options);

}  // namespace qbr
