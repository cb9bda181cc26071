// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/TempDir.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace qbr::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The built tool's path, as the shell would call it.
inline constexpr char kCliPath[] = QBR_RUNTIME_DIR "/qbr5150-cli";

// The shipped database, unless the arguments name another.
inline std::string WithDatabase(const std::string& arguments) {
    return (arguments.find("--db") == std::string::npos ? "--db " QBR_RUNTIME_DIR "/chips.dat " : "") + arguments;
}

// Runs the built tool as a process of its own through the shell, for what only a
// process has: signals, standard input, redirections, its exit status, another
// user. `arguments` is shell syntax; `launcher`, when given, starts the tool.
inline CliResult RunCliProcess(const std::string& arguments, const std::string& launcher = "") {
    TempDir streams;
    const std::string command = launcher + " " + kCliPath + " " + WithDatabase(arguments) + " >" +
                                streams.file("out").string() + " 2>" + streams.file("err").string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(streams.file("out")),
            ReadFileText(streams.file("err"))};
}

}  // namespace qbr::test
