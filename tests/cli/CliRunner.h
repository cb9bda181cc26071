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

// Runs the built command-line tool through the shell with `arguments` (shell
// syntax, so redirections work) and collects its exit code and both streams. The
// database is the shipped one unless the arguments name another. `launcher`, when
// given, starts the tool (e.g. as another user).
inline CliResult RunCli(const std::string& arguments, const std::string& launcher = "") {
    TempDir streams;
    const std::string database = arguments.find("--db") == std::string::npos ? "--db " QBR_RUNTIME_DIR "/chips.dat "
                                                                             : "";
    const std::string command = launcher + " " QBR_RUNTIME_DIR "/qbr5150-cli " + database + arguments + " >" +
                                streams.file("out").string() + " 2>" + streams.file("err").string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileText(streams.file("out")),
            ReadFileText(streams.file("err"))};
}

}  // namespace qbr::test
