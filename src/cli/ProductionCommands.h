// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <ostream>

namespace qbr {

// The `production` subcommand given on the command line: the adder of each of
// its subcommands sets `run` when CLI11 parses it, and the tool runs it once the
// language of the texts is chosen, with its output and error streams. `run`
// returns the exit code, after printing the JSON document with --json.
struct ProductionCommand {
    std::function<int(std::ostream& out, std::ostream& err)> run;
};

}  // namespace qbr
