// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "link/ProgrammerSurvey.h"

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace qbr {

// One programmer a command can run on: a real one at a USB port, or one of the
// emulated programmers.
struct ProgrammerSlot {
    // A real one's port path ("1-1.2"), which its link keeps to, or "emulated-N";
    // empty: whichever programmer the link finds first.
    std::string id;
    std::string serial;
    NodeAccess access = NodeAccess::Allowed;
    unsigned emulatedIndex = 0;  // 1.. for an emulated programmer, 0 for a real one
};

// The serial number emulated programmer `index` reports.
std::string EmulatedSerialNumber(unsigned index);

// The programmers attached now, by id: the emulated ones, or those sysfs lists.
std::vector<ProgrammerSlot> AttachedProgrammers(const CliOptions& options);

// The programmer --programmer names, by id or serial number (sysfs's, else the
// one the programmer reports); without it the first emulated programmer, or for
// real hardware whichever the link finds first (the first on the bus when a
// production log will name it). kExitUsage, after saying which ids there are,
// when no attached programmer or several have that name; kExitNoProgrammer when
// none is attached. The failure is kept in `report`.
int ChooseProgrammer(const CliOptions& options, std::ostream& err, nlohmann::json& report, ProgrammerSlot& chosen);

// Whether --emulate-fault can be used: a fault the emulator knows, and in
// "N:FAULT" an N between 1 and --emulate-count. kExitUsage after saying why not
// (kept in `report`).
int CheckEmulatorFault(const CliOptions& options, std::ostream& err, nlohmann::json& report);

// The programmers' list: id, serial number, firmware version and whether this user
// may use it, as text lines or (--json) a document with the array "programmers";
// kExitNoProgrammer, after saying so on `err`, when none is attached. An emulated
// fault written for one programmer shows in its line.
int ListProgrammers(const CliOptions& options, std::ostream& out, std::ostream& err);

// The options of one programmer's run: "%d" in --emulate-image becomes its number
// and "%s" in a read's file name, --backup and --trace its id; a fault given as
// "N:FAULT" applies to emulated programmer N alone.
CliOptions OptionsFor(const CliOptions& options, const ProgrammerSlot& slot);

}  // namespace qbr
