// SPDX-License-Identifier: GPL-3.0-or-later
// qbr5150-cli: the programmer's functions on the command line.

#include "cli/RunCli.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    return qbr::RunCli({argv, argv + argc}, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
