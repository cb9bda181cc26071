// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "cli/ProductionCommands.h"

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <string>

namespace qbr {

// What `production report` was asked for.
struct ProductionReportOptions {
    std::string store;
    std::string since;  // --since as given; empty: every record
    std::string html;   // --html FILE; empty: no page; "-": standard output
};

inline constexpr char kProductionReportCommand[] = "production report";

// Adds `report STORE [--since TIME] [--html FILE]` under `production`; choosing it
// sets options.command to kProductionReportCommand and `chosen.run` to the report.
// --json, --lang and the other options of the tool reach the tool through
// `production`, which falls through too.
void AddProductionReport(CLI::App& production, CliOptions& options, ProductionCommand& chosen);

// Runs the report: text (or, with --json, one document) on `out`, the page to its
// file, problems on `err`. The exit code: 0, 2 for a bad --since or standard output
// asked for twice, 4 for a store that can't be read or a page that can't be written.
int RunProductionReport(const ProductionReportOptions& report, const CliOptions& options, std::ostream& out,
                        std::ostream& err);

}  // namespace qbr
