// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <ostream>

namespace qbr {

// The `production` subcommand given on the command line: its adder sets `run`
// when CLI11 parses it, and the tool runs it once the language of the texts is
// chosen, with its output and error streams. `run` returns the exit code, after
// printing the JSON document with --json.
struct ProductionCommand {
    std::function<int(std::ostream& out, std::ostream& err)> run;
};

// Adds `production` and its subcommands `counter` and `export` to `app`, and
// returns `production`, to which other production subcommands are added the same
// way: a subcommand of it, whose callback sets options.command to
// "production NAME" and `chosen.run`. Options it doesn't know (--json, --lang)
// fall through to `app`.
CLI::App& AddProductionCommands(CLI::App& app, CliOptions& options, ProductionCommand& chosen);

}  // namespace qbr
