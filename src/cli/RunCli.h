// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qbr {

// The command-line tool on `commandLine` (the program's name as called, then its
// words): results on `out`, texts and progress on `err` (progress drawn in place when
// `terminal`). Returns the exit code. Standard input, where a command reads it,
// is the process's own.
int RunCli(const std::vector<std::string>& commandLine, std::ostream& out, std::ostream& err, bool terminal);

}  // namespace qbr
