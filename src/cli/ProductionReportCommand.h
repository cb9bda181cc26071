// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "cli/ProductionCommands.h"

#include <CLI/CLI.hpp>

namespace qbr {

// Adds `report STORE [--since TIME] [--html FILE]` under `production`; choosing it
// sets options.command to "production report" and `chosen.run` to the report.
// --json, --lang and the other options of the tool reach the tool through
// `production`, which falls through too.
void AddProductionReport(CLI::App& production, CliOptions& options, ProductionCommand& chosen);

}  // namespace qbr
