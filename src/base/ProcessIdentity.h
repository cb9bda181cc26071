// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qbr {

// A process named so that the name can't be mistaken for a later one: the boot
// it runs in, its pid and its start time. A pid alone is reused; with the start
// time and the boot it names one process for ever.
std::string CurrentProcessToken();

// Whether the process of a CurrentProcessToken() still runs: false when the
// computer has booted since, when no process has that pid, when the process of
// that pid started at another time (the pid was reused), when it has exited and
// waits to be reaped, and for a text that is no such token.
bool ProcessTokenAlive(const std::string& token);

}  // namespace qbr
