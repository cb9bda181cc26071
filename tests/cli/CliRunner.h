// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/RunCli.h"
#include "support/CliProcess.h"

#include <sstream>
#include <string>
#include <vector>

namespace qbr::test {

// Whether `arguments` need a shell: redirections, lists, substitutions, quotes.
inline bool NeedsShell(const std::string& arguments) {
    return arguments.find_first_of(";|&<>$`\\'\"") != std::string::npos;
}

// Runs the command-line tool on `arguments` (words parted by blanks) and
// collects its exit code and both streams: inside this process, or as a process
// of its own when the arguments need the shell (standard input, redirections).
inline CliResult RunCli(const std::string& arguments) {
    if (NeedsShell(arguments)) return RunCliProcess(arguments);
    std::istringstream words(WithDatabase(arguments));
    std::vector<std::string> commandLine{kCliPath};
    for (std::string word; words >> word;) commandLine.push_back(word);
    std::ostringstream out;
    std::ostringstream err;
    const int code = qbr::RunCli(commandLine, out, err, false);
    return {code, out.str(), err.str()};
}

}  // namespace qbr::test
