// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qbr {

// Exit codes of the command-line tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;        // the operation failed, or nothing was found
inline constexpr int kExitUsage = 2;         // unknown command, option or chip name
inline constexpr int kExitNoProgrammer = 3;  // no programmer, or the programmer is busy
inline constexpr int kExitFileError = 4;     // a file can't be opened, read or written, or is malformed

}  // namespace qbr
