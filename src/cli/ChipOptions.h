// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>

namespace qbr {

// Options the chip commands share, added to a command's subcommand.
// --offset and --length: the range of chip addresses.
void AddRangeOptions(CLI::App& command, CliOptions& options);
// --backup and --backup-dir: the whole chip read twice into a file first.
void AddBackupOptions(CLI::App& command, CliOptions& options);
// --cut: an image longer than the chip or range is cut to it.
void AddCutOption(CLI::App& command, CliOptions& options);

// The tool's production options: --production, --serialize, --counter, --station.
void AddProductionOptions(CLI::App& app, CliOptions& options);

}  // namespace qbr
