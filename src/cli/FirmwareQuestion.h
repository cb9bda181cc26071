// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>

namespace qbr {

// update-firmware sends the file only when the user says so. The file is raw
// bytes and can't tell whether it is firmware at all, and a wrong one (a chip
// image picked by mistake) can leave the programmer unusable. With `yes`
// (--yes) it goes ahead at once; else the user is asked on the terminal (`in`
// is one) and must answer y or yes; with no terminal to ask on the command is a
// usage error. Files that the update refuses by itself (missing, empty, too
// long) are not asked about: the update refuses them. Returns the exit code to
// end with, or kExitOk to send; nothing is sent before.
int ConfirmFirmwareFile(const std::string& path, bool yes, std::istream& in, bool terminal, std::ostream& err);

}  // namespace qbr
