// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/ProgrammerCore.h"

namespace qbr {

// Commands that concern the programmer itself rather than a chip.

// Shows the programmer's firmware version text.
void OnReadFirmwareVersion(ProgrammerCore& core);
// Runs the programmer's self test and shows its verdict or its own result text.
void OnSelfTest(ProgrammerCore& core);
// Shows the programmer's serial number.
void OnReadSerialNumber(ProgrammerCore& core);
// Sends a firmware update file to the programmer: waits until a (reconnected)
// programmer takes the boot request, asking the user to reconnect it after about
// 5 s and giving up about 10 s later, then streams the image with progress.
void OnUpdateFirmware(ProgrammerCore& core);

}  // namespace qbr
