// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/CommandResult.h"
#include "core/ProgrammerCore.h"
#include "link/AccessPath.h"
#include "link/UsbLink.h"

#include <string>

namespace qbr {

// Commands that concern the programmer itself rather than a chip. The result's
// text is the answer its words show on success.

// The programmer's firmware version text.
CommandResult OnReadFirmwareVersion(ProgrammerCore& core);
// Runs the programmer's self test: its verdict or its own result text.
CommandResult OnSelfTest(ProgrammerCore& core);
// The programmer's serial number.
CommandResult OnReadSerialNumber(ProgrammerCore& core);
// What a programmer tells about itself, asked without a chip and without the
// core: for the list of attached programmers. `problem` is None when it was
// opened; version and serial are empty when it did not answer.
struct ProgrammerIdentity {
    AccessPath::OpenProblem problem = AccessPath::OpenProblem::NotFound;
    std::string version;
    std::string serial;
};
ProgrammerIdentity IdentifyProgrammer(UsbLink& link);

// Sends a firmware update file to the programmer: waits until a (reconnected)
// programmer takes the boot request, asking the user to reconnect it after about
// 5 s and giving up about 10 s later, then streams the image with progress.
CommandResult OnUpdateFirmware(ProgrammerCore& core);

}  // namespace qbr
