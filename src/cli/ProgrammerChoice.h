// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "cli/RunReport.h"
#include "ops/LinkRequest.h"

#include <optional>
#include <string>

namespace qbr {

// The programmer --programmer names, by id or serial number (sysfs's, else the
// one the programmer reports); without it the first emulated programmer, or for
// real hardware whichever the link finds first (the first on the bus when the
// command's production row will name it: `recorded`). kExitUsage, after saying
// which ids there are, when no attached programmer or several have that name;
// kExitNoProgrammer when none is attached. The failure is kept in `report`.
int ChooseProgrammer(const CliOptions& options, bool recorded, RunReport& report, ProgrammerSlot& chosen);

// The programmers' list: id, serial number, firmware version and whether this user
// may use it, as text lines or (--json) the array "programmers" of the document;
// kExitNoProgrammer, after saying so, when none is attached. An emulated fault
// written for one programmer shows in its line.
int ListProgrammers(const CliOptions& options, RunReport& report);

// The options of one programmer's run: "%s" in a read's file name, --backup and
// --trace becomes its id.
CliOptions OptionsFor(const CliOptions& options, const ProgrammerSlot& slot);

}  // namespace qbr
