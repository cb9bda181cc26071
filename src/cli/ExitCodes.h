// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/CommandResult.h"

namespace qbr {

// Exit codes of the command-line tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;        // the operation failed, or nothing was found
inline constexpr int kExitUsage = 2;         // unknown command, option or chip name
inline constexpr int kExitNoProgrammer = 3;  // no programmer, or the programmer is busy
inline constexpr int kExitFileError = 4;     // a file can't be opened, read or written, or is malformed

// The exit code of a command's outcome; it never depends on the texts shown.
inline int ExitCodeOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Ok: return kExitOk;
    case Outcome::NoProgrammer:
    case Outcome::Busy: return kExitNoProgrammer;
    case Outcome::FileError: return kExitFileError;
    case Outcome::Failed:
    case Outcome::Cancelled:
    case Outcome::NotForThisChip: break;
    }
    return kExitFailed;
}

}  // namespace qbr
