// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace qbr {

// What to tell the user when the programmer is on the bus but the system refuses
// this user access to it, in the current language: the reason and the command
// that gives the access. A portable run installs the device rule shipped beside
// the program; an installed run whose rule lies where udev reads it only needs
// udev to apply it.
// Lines are separated by "\r\n". Empty for a language the program doesn't know,
// like every message text.
std::string PermissionDeniedText();

// The folder an installation under `prefix` has put the device rule in, as
// `cmake --install` chooses it: `configured` (the build's QBR_UDEV_RULES_DIR;
// relative to the prefix unless absolute) or, when that is empty,
// lib/udev/rules.d under the prefix /usr and /etc/udev/rules.d under any other
// (udev reads no rules under /usr/local). Without a trailing '/'.
std::string InstalledRuleDirectory(const std::string& prefix, const std::string& configured);
// Whether udev reads the rules of `directory`.
bool UdevReadsRulesIn(const std::string& directory);

// The device rule: beside the program in a portable run, where the installation
// put it in an installed one.
std::string DeviceRulePath();
// The shell command that gives the user at the seat access to the programmer:
// copies the rule to /etc/udev/rules.d and reloads udev, or only reloads udev
// where the installation has put the rule in a folder udev reads.
std::string DeviceAccessCommand();

// The "No programmer" message text, followed after a blank line by
// PermissionDeniedText() when `accessDenied` is set (and that text isn't empty).
std::string NoProgrammerText(bool accessDenied);

// What the log says when a command failed while the programmer was out of step
// with the program (it still expected data, or owed data that never came): only
// unplugging it and plugging it in again puts it right. In the current language.
std::string ReplugNeededText();

}  // namespace qbr
