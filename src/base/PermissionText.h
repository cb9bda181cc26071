// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qbr {

// What to tell the user when the programmer is on the bus but the system refuses
// this user access to it, in the current language: the reason and the command
// that gives the access. A portable run installs the device rule shipped beside
// the program; an installed run already has it and only needs udev to apply it.
// Lines are separated by "\r\n". Empty for a language the program doesn't know,
// like every message text.
std::string PermissionDeniedText();

// The device rule: beside the program in a portable run, in the installation's
// udev rules directory in an installed one.
std::string DeviceRulePath();
// The shell command that gives the user at the seat access to the programmer:
// installs the rule and reloads udev (portable run), or only reloads udev
// (installed run, where the package has put the rule in place).
std::string DeviceAccessCommand();

// The "No programmer" message text, followed after a blank line by
// PermissionDeniedText() when `accessDenied` is set (and that text isn't empty).
std::string NoProgrammerText(bool accessDenied);

}  // namespace qbr
