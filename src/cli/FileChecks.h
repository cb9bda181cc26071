// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "cli/RunReport.h"
#include "ops/LinkRequest.h"

#include <string>

namespace qbr {

// The files a run names, looked at before anything is read or changed, so that a
// file of the wrong kind is refused with its kind named instead of being waited
// on (a FIFO given as input) or replaced (a device given as output):
// - inputs (the image to write or verify, chip-sum's, the firmware, --db,
//   --replay, a SQLite production store) must be regular files; - stays standard input;
// - outputs (read's file, --trace, production export's CSV) regular files or new names, which are replaced
//   as a whole, or a FIFO or a character device, which are written into.
// The emulated chip's image is checked as it is opened (ChipImageFile).
// kExitOk, or kExitFileError after saying why.
int CheckFileKinds(const CliOptions& options, RunReport& report);

// Whether `path` names a SQLite production store or one of the files SQLite keeps
// beside it (its write-ahead log, its shared memory, its journal; there or not
// yet), by any name, link or hard link: an output written there would replace the
// records. Never for a URL.
bool NamesStoreFile(const std::string& path, const std::string& store);

// Says why the link can't be made as asked, with the JSON error code that names the
// problem; the exit code it means.
int FailLink(const LinkError& error, RunReport& report);

}  // namespace qbr
