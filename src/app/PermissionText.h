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

// The "No programmer" message text, followed after a blank line by
// PermissionDeniedText() when `accessDenied` is set (and that text isn't empty).
std::string NoProgrammerText(bool accessDenied);

}  // namespace qbr
