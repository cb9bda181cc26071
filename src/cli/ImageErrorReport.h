// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "buffer/ImageFile.h"
#include "cli/RunReport.h"

#include <string>

namespace qbr {

// An image file that did not load: "Open file error! PATH", then for a malformed
// record file its reason and line ("line 12: bad checksum") on a line of their own.
// The JSON report gets them as "error_reason" (a name such as "bad_checksum") and
// "error_line" (when a line shows the fault).
void ReportImageError(RunReport& report, const std::string& path, const ImageLoadResult& result);

}  // namespace qbr
