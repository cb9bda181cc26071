// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/RunReport.h"

namespace qbr {

// --all: the command on every attached programmer at once, in this process. Each
// programmer has a core of its own (buffer, protocol state, link) on a thread of
// its own; they share the production store. On a terminal
// each programmer has a progress line. When all have ended, the lines of each run
// come out together, marked with its id and followed by one result line, in the
// programmers' order. With --json standard output carries one document: command,
// ok, results (each run's own document, with its programmer's id) and the error of the
// run that gives the exit code. The exit code is 0 when every run succeeded, else the
// highest of their codes.
int RunBatch(const CliCommand& command, const CliOptions& options, RunReport& report, bool terminal);

}  // namespace qbr
