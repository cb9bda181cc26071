// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ImageErrorReport.h"

#include "base/MessageTable.h"
#include "core/RecordErrorText.h"

namespace qbr {

void ReportImageError(std::ostream& err, nlohmann::json& report, const std::string& path,
                      const ImageLoadResult& result) {
    err << MessageText(kMsgOpenFileError) << ' ' << path << '\n';
    const RecordError& error = result.error;
    if (error.fault == RecordFault::None) return;
    err << RecordErrorText(error) << '\n';
    report["error_reason"] = RecordFaultName(error.fault);
    if (error.line != 0) report["error_line"] = error.line;
}

}  // namespace qbr
